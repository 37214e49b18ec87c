#include "util/UUtils.h"

#include "platform/Platform.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

namespace {

inline uchar foldAscii(uchar c)
{
    return (c >= 'a' && c <= 'z') ? uchar(c - ('a' - 'A')) : c;
}

bool equalFolded(const char *a, const char *b, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (foldAscii(uchar(a[i])) != foldAscii(uchar(b[i])))
            return false;
    }
    return true;
}

// First byte in [p, end) equal to `lower` or to its capital; `lower` must be
// a lowercase ASCII letter, so OR-ing 0x20 onto a byte folds exactly those
// two values onto it. Eight bytes per step, reading nothing beyond the hit.
const char *findEitherCase(const char *p, const char *end, uchar lower)
{
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    const std::uint64_t pattern = ones * lower;
    const std::uint64_t caseBit = ones * 0x20;
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        const std::uint64_t v = (word | caseBit) ^ pattern;
        if ((v - ones) & ~v & highs)
            break; // the hit is in these eight bytes
        p += 8;
    }
    for (; p < end; ++p) {
        if ((uchar(*p) | 0x20) == lower)
            return p;
    }
    return nullptr;
}

// Leftmost position of needle in hay with ASCII letters folded, without
// building a folded copy: the search costs what it passes over, which keeps a
// field-by-field walk over a long page linear.
qsizetype indexOfFolded(const QByteArray &hay, const QByteArray &needle)
{
    const qsizetype m = needle.size();
    const qsizetype n = hay.size();
    if (m == 0 || m > n)
        return -1;
    const char *begin = hay.constData();
    const char *stop = begin + (n - m) + 1; // one past the last possible start
    const uchar first = foldAscii(uchar(needle[0]));
    const bool letter = first >= 'A' && first <= 'Z';
    const char *rest = needle.constData() + 1;
    for (const char *p = begin; p < stop; ++p) {
        p = letter ? findEitherCase(p, stop, uchar(first | 0x20))
                   : static_cast<const char *>(std::memchr(p, first, size_t(stop - p)));
        if (!p)
            return -1;
        if (equalFolded(p + 1, rest, m - 1))
            return p - begin;
    }
    return -1;
}

// Qt 6 drops the head of an unshared array by moving its begin pointer, so a
// parser consuming its page field by field never copies the remainder.
void dropHead(QByteArray &text, qsizetype count)
{
    if (count <= 0)
        return;
    if (count >= text.size())
        text.clear();
    else
        text.remove(0, count);
}

} // namespace

QByteArray CutBetween(QByteArray &scanned, const QByteArray &startMarker,
                      const QByteArray &endMarker, int offset)
{
    const qsizetype start = indexOfFolded(scanned, startMarker);
    if (start < 0)
        return {};
    dropHead(scanned, start + startMarker.size() + offset);
    const qsizetype end = indexOfFolded(scanned, endMarker);
    if (end < 0)
        return {};
    QByteArray field = scanned.left(end);
    dropHead(scanned, end + offset);
    return field;
}

// Equivalent to "replace the leftmost occurrence, search again from the start"
// but linear. The output is kept free of occurrences; bytes move into it one at
// a time right after a replacement (the replacement itself is read again, as a
// restart would) and in bulk otherwise. An occurrence can only complete at the
// byte just added, so when it does it is the leftmost one in the whole text.
QByteArray ReplaceAllRescan(const QByteArray &source, const QByteArray &searched,
                            const QByteArray &replacement)
{
    const std::string_view src(source.constData(), size_t(source.size()));
    const std::string_view what(searched.constData(), size_t(searched.size()));
    const qsizetype len = searched.size();
    if (len == 0 || src.find(what) == std::string_view::npos)
        return source;

    QByteArray out;
    out.reserve(source.size());
    std::string pending; // replacement bytes still to read, last one first
    const char lastByte = what.back();

    auto push = [&](char c) {
        out.append(c);
        if (c != lastByte || out.size() < len ||
            std::memcmp(out.constData() + out.size() - len, what.data(), size_t(len)) != 0)
            return false;
        out.chop(len);
        pending.append(replacement.crbegin(), replacement.crend());
        return true;
    };

    qsizetype next = 0;        // next unread byte of the source
    qsizetype plain = len - 1; // source bytes taken one by one since the last replacement
    const qsizetype size = source.size();
    for (;;) {
        if (!pending.empty()) {
            const char c = pending.back();
            pending.pop_back();
            if (push(c))
                plain = 0;
            continue;
        }
        if (next >= size)
            break;
        if (plain < len - 1) {
            if (push(src[size_t(next++)]))
                plain = 0;
            else
                ++plain;
            continue;
        }
        // The output's last len-1 bytes are now plain source bytes, so the next
        // occurrence is the next one in the source itself.
        const qsizetype from = qMax<qsizetype>(0, next - (len - 1));
        const size_t hit = src.find(what, size_t(from));
        if (hit == std::string_view::npos) {
            out.append(source.constData() + next, size - next);
            break;
        }
        const qsizetype after = qsizetype(hit) + len;
        out.append(source.constData() + next, after - next);
        next = after;
        out.chop(len);
        pending.append(replacement.crbegin(), replacement.crend());
        plain = 0;
    }
    return out;
}

QByteArray HtmlToText(const QByteArray &html)
{
    static const char *const table[][2] = {
        {"&amp;", "&"},    {"&nbsp;", " "}, {"\t", " "},          {"<wbr>", ""},
        {"&#039;", "'"},   {"Tel : ", ""},  {"Fax : ", ""},       {"<strong>", ""},
        {"</strong>", ""}, {"<em>", ""},    {"<hr>", ""},         {"<h3>", ""},
        {"</h3>", ""},     {"<H3>", ""},    {"</H3>", ""},        {"</em>", ""},
        {"<u>", ""},       {"</u>", ""},    {"</INVALID>", ""},   {"<br>", " "},
        {"<BR>", " "},     {"<tr>", ""},    {"</tr>", ""},        {"<td>", ""},
        {"</td>", ""},     {"<table>", ""}, {"</table>", ""},     {"</font>", ""},
        {"<b>", ""},       {"<i>", ""},     {"<blockquote>", ""}, {"</p>", ""},
        {"<p>", " "},      {"<P>", " "},    {"</P>", ""},         {"</b>", ""},
        {"</i>", ""},      {"</th>", ""},   {"<br />", ""},       {"</FONT>", ""},
        {"</TD>", ""},     {"<TD>", ""},    {"<B>", ""},          {"</B>", ""},
        {"<TR>", ""},      {"<BR>", ""},    {"</TR>", ""},        {"\"", ""},
        {"\n", " "},       {"\r", " "},
    };
    static_assert(std::size(table) == 50);

    // A row whose first byte the text lacks cannot match, then or later: no
    // replacement brings in a byte that starts a searched text, except "&",
    // which only "&amp;" (itself starting with "&") produces.
    std::array<bool, 256> present{};
    for (char c : html)
        present[uchar(c)] = true;

    QByteArray text = html;
    for (const auto &row : table) {
        if (!present[uchar(row[0][0])])
            continue;
        text = ReplaceAllRescan(text, QByteArray::fromRawData(row[0], qsizetype(strlen(row[0]))),
                                QByteArray::fromRawData(row[1], qsizetype(strlen(row[1]))));
    }

    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && uchar(text[first]) <= 32)
        ++first;
    while (last > first && uchar(text[last - 1]) <= 32)
        --last;
    return text.mid(first, last - first);
}

void SplitByChar(char separator, const QByteArray &source, QList<QByteArray> &pieces)
{
    pieces.clear();
    qsizetype start = 0;
    for (;;) {
        const qsizetype at = source.indexOf(separator, start);
        if (at < 0)
            break;
        pieces.append(source.mid(start, at - start));
        start = at + 1;
    }
    if (start < source.size())
        pieces.append(source.mid(start));
}

namespace {
int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

QByteArray DecodeDollarHex(const QByteArray &source)
{
    QByteArray result;
    result.reserve(source.size());
    const qsizetype size = source.size();
    for (qsizetype i = 0; i < size;) {
        if (source[i] != '$') {
            result.append(source[i++]);
            continue;
        }
        // Two digits, or one when the text ends right after it.
        const qsizetype digits = qMin<qsizetype>(2, size - i - 1);
        if (digits == 0)
            return {};
        int value = 0;
        for (qsizetype k = 1; k <= digits; ++k) {
            const int d = hexValue(source[i + k]);
            if (d < 0)
                return {};
            value = value * 16 + d;
        }
        result.append(char(value));
        i += 1 + digits;
    }
    return result;
}

bool OpenURL(const QByteArray &address)
{
    const std::optional<QByteArray> command = platform::DefaultBrowserCommand();
    if (!command || command->isEmpty())
        return false;
    // The program is the first quoted part; switches and the placeholder are
    // not used. Fewer than two quotes leave no program.
    QByteArray program;
    const qsizetype open = command->indexOf('"');
    if (open >= 0) {
        const qsizetype close = command->indexOf('"', open + 1);
        if (close >= 0)
            program = command->mid(open + 1, close - open - 1);
    }
    platform::ShellOpen(program, address);
    return true;
}
