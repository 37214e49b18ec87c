#include "Text.h"

namespace sandbox::text {

namespace {
int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

const char kHex[] = "0123456789ABCDEF";

// Locale-free on purpose: bytes above 0x7F are never letters here.
bool isAlnum(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(const std::string &s, size_t at, const std::string &what)
{
    if (at > s.size() || s.size() - at < what.size())
        return false;
    for (size_t i = 0; i < what.size(); ++i)
        if (fold(s[at + i]) != fold(what[i]))
            return false;
    return true;
}

// RFC 2045 token characters: any printable ASCII but space and tspecials.
bool isTokenChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F)
        return false;
    return std::string("()<>@,;:\\\"/[]?=").find(c) == std::string::npos;
}

void skipSpace(const std::string &s, size_t &at)
{
    while (at < s.size() && (s[at] == ' ' || s[at] == '\t'))
        ++at;
}

bool readToken(const std::string &s, size_t &at, std::string &out)
{
    const size_t start = at;
    while (at < s.size() && isTokenChar(s[at]))
        ++at;
    out = s.substr(start, at - start);
    return !out.empty();
}

bool readQuoted(const std::string &s, size_t &at, std::string &out)
{
    if (at >= s.size() || s[at] != '"')
        return false;
    out.clear();
    for (++at; at < s.size(); ++at) {
        if (s[at] == '\\' && at + 1 < s.size()) {
            out += s[++at];
        } else if (s[at] == '"') {
            ++at;
            return true;
        } else if (s[at] == '\r' || s[at] == '\n') {
            return false;
        } else {
            out += s[at];
        }
    }
    return false;
}

// A header value as a strict server reads it: "type/subtype" (or a single
// token, for Content-Disposition), then "; attribute=value" pairs where a
// value is a token or a quoted string. Anything else fails the whole header:
// an unquoted boundary holding "/" is not cut short, it is refused.
bool parseMimeValue(const std::string &value, bool withSubtype, std::string &kind,
                    std::vector<std::pair<std::string, std::string>> &params)
{
    size_t at = 0;
    skipSpace(value, at);
    std::string type, subtype;
    if (!readToken(value, at, type))
        return false;
    kind = lowerAscii(type);
    if (withSubtype) {
        if (at >= value.size() || value[at] != '/')
            return false;
        ++at;
        if (!readToken(value, at, subtype))
            return false;
        kind += "/" + lowerAscii(subtype);
    }
    params.clear();
    for (;;) {
        skipSpace(value, at);
        if (at == value.size())
            return true;
        if (value[at] != ';')
            return false;
        ++at;
        skipSpace(value, at);
        std::string name, v;
        if (!readToken(value, at, name))
            return false;
        skipSpace(value, at);
        if (at >= value.size() || value[at] != '=')
            return false;
        ++at;
        skipSpace(value, at);
        if (at < value.size() && value[at] == '"') {
            if (!readQuoted(value, at, v))
                return false;
        } else if (!readToken(value, at, v)) {
            return false;
        }
        params.emplace_back(lowerAscii(name), v);
    }
}

bool paramOf(const std::vector<std::pair<std::string, std::string>> &params,
             const std::string &name, std::string &out)
{
    for (const auto &[key, value] : params)
        if (key == name) {
            out = value;
            return true;
        }
    return false;
}
} // namespace

std::string formDecode(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 &&
                   hexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

Fields parseQuery(const std::string &rawQuery)
{
    Fields fields;
    size_t pos = 0;
    while (pos <= rawQuery.size()) {
        size_t amp = rawQuery.find('&', pos);
        std::string item = rawQuery.substr(pos, amp == std::string::npos ? amp : amp - pos);
        if (!item.empty()) {
            size_t eq = item.find('=');
            if (eq == std::string::npos)
                fields.emplace_back(formDecode(item), std::string());
            else
                fields.emplace_back(formDecode(item.substr(0, eq)),
                                    formDecode(item.substr(eq + 1)));
        }
        if (amp == std::string::npos)
            break;
        pos = amp + 1;
    }
    return fields;
}

std::string value(const Fields &fields, const std::string &key)
{
    for (const auto &[k, v] : fields)
        if (k == key)
            return v;
    return {};
}

bool has(const Fields &fields, const std::string &key)
{
    for (const auto &f : fields)
        if (f.first == key)
            return true;
    return false;
}

std::string formEncode(const std::string &s)
{
    std::string out;
    for (unsigned char c : s) {
        if (isAlnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string htmlEscape(const std::string &s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string lowerAscii(std::string s)
{
    for (char &c : s)
        c = fold(c);
    return s;
}

std::string withThousands(std::uint64_t n)
{
    std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

std::uint64_t fnv1a64(const std::string &s)
{
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

std::uint64_t SplitMix64::next()
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

bool parseMultipart(const std::string &contentType, const std::string &body, Fields &out)
{
    out.clear();
    std::string kind, boundary;
    std::vector<std::pair<std::string, std::string>> params;
    if (!parseMimeValue(contentType, true, kind, params) || kind != "multipart/form-data")
        return false;
    // RFC 2046: 1 to 70 characters.
    if (!paramOf(params, "boundary", boundary) || boundary.empty() || boundary.size() > 70)
        return false;
    const std::string delimiter = "--" + boundary;

    size_t pos = body.find(delimiter);
    if (pos == std::string::npos)
        return false;
    pos += delimiter.size();
    for (;;) {
        if (body.compare(pos, 2, "--") == 0)
            return true; // closing delimiter
        if (body.compare(pos, 2, "\r\n") != 0)
            return false;
        pos += 2;
        size_t headersEnd = body.find("\r\n\r\n", pos);
        if (headersEnd == std::string::npos)
            return false;
        std::string name;
        bool named = false;
        size_t line = pos;
        while (line < headersEnd) {
            size_t eol = body.find("\r\n", line);
            if (eol == std::string::npos || eol > headersEnd)
                eol = headersEnd;
            std::string header = body.substr(line, eol - line);
            if (startsWithNoCase(header, 0, "content-disposition:")) {
                // Every part of a form is "form-data" with a name.
                std::string disposition;
                std::vector<std::pair<std::string, std::string>> dparams;
                if (!parseMimeValue(header.substr(20), false, disposition, dparams) ||
                    disposition != "form-data" || !paramOf(dparams, "name", name))
                    return false;
                named = true;
            }
            line = eol + 2;
        }
        size_t contentStart = headersEnd + 4;
        size_t next = body.find("\r\n" + delimiter, contentStart);
        if (next == std::string::npos || !named)
            return false;
        out.emplace_back(name, body.substr(contentStart, next - contentStart));
        pos = next + 2 + delimiter.size();
    }
}

std::string dollarHex(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (isAlnum(c) || c == ' ') {
            out += static_cast<char>(c);
        } else {
            out += '$';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

} // namespace sandbox::text
