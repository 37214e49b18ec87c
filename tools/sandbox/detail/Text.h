#pragma once
// Byte-string helpers shared by the emulated services.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sandbox::text {

using Fields = std::vector<std::pair<std::string, std::string>>;

// Form decoding: '+' is a space, %XX a byte; a '%' without two hex digits stays.
std::string formDecode(const std::string &s);
// Splits a raw query at '&' and '=' and decodes both sides, keeping the order.
Fields parseQuery(const std::string &rawQuery);
// First value of a key, or "" when absent.
std::string value(const Fields &fields, const std::string &key);
bool has(const Fields &fields, const std::string &key);

// Percent-encodes everything but unreserved bytes; spaces become '+'.
std::string formEncode(const std::string &s);
std::string htmlEscape(const std::string &s);
std::string lowerAscii(std::string s);
std::string withThousands(std::uint64_t n);

std::uint64_t fnv1a64(const std::string &s);
// Small deterministic generator; std distributions differ between libraries.
struct SplitMix64
{
    std::uint64_t state;
    std::uint64_t next();
    std::uint64_t below(std::uint64_t bound) { return bound ? next() % bound : 0; }
};

// Fields of a multipart/form-data body in the order sent. The boundary may be
// quoted or not. False when the body does not parse.
bool parseMultipart(const std::string &contentType, const std::string &body, Fields &out);

// Every byte outside [A-Za-z0-9 ] as "$XX" (two upper-case hex digits).
std::string dollarHex(const std::string &bytes);

} // namespace sandbox::text
