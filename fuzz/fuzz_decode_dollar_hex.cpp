// libFuzzer target: DecodeDollarHex on arbitrary text, and on the escapes of
// arbitrary bytes.
//
// The whole input is decoded as it is: the result is empty or no longer than
// the text, text without "$" comes back unchanged, and escaping the result
// again decodes to the same bytes. Then every input byte is escaped as "$XX"
// (byte 0 picks capital or small hex digits) and must decode to itself.

#include "FuzzSupport.h"
#include "util/UUtils.h"

namespace {

QByteArray Escape(const QByteArray &bytes, bool capitals)
{
    const char *digits = capitals ? "0123456789ABCDEF" : "0123456789abcdef";
    QByteArray text;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += '$';
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text = FuzzBytes(data, size);
    const QByteArray decoded = DecodeDollarHex(text);
    FUZZ_CHECK(decoded.size() <= text.size());
    if (!text.contains('$'))
        FUZZ_CHECK(decoded == text);
    else if (!decoded.isEmpty())
        FUZZ_CHECK(DecodeDollarHex(Escape(decoded, true)) == decoded);

    const bool capitals = size > 0 && (data[0] & 1);
    FUZZ_CHECK(DecodeDollarHex(Escape(text, capitals)) == text);
    return 0;
}
