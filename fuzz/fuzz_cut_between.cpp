// libFuzzer target: CutBetween against a plain byte-by-byte search.
//
// Byte 0: bits 0-3 an offset of -8..7 when bit 7 is set (else 0), bits 4-5 how
// many cuts run one after the other on the same scanned text (1-4).
// Bytes 1 and 2: the lengths (0-7) of the start and end markers, which follow;
// the rest is the text. Every cut must give the same field and leave the same
// remainder as the reference.

#include "FuzzSupport.h"
#include "util/UUtils.h"

namespace {

QByteArray DropHead(const QByteArray &text, qsizetype count)
{
    if (count <= 0)
        return text;
    return count >= text.size() ? QByteArray() : text.mid(count);
}

QByteArray ReferenceCut(QByteArray &scanned, const QByteArray &startMarker,
                        const QByteArray &endMarker, int offset)
{
    const qsizetype start = PlainIndexOfFolded(scanned, startMarker);
    if (start < 0)
        return {};
    scanned = DropHead(scanned, start + startMarker.size() + offset);
    const qsizetype end = PlainIndexOfFolded(scanned, endMarker);
    if (end < 0)
        return {};
    const QByteArray field = scanned.left(end);
    scanned = DropHead(scanned, end + offset);
    return field;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int offset = (data[0] & 0x80) ? int(data[0] & 0x0F) - 8 : 0;
    const int cuts = ((data[0] >> 4) & 3) + 1;
    const size_t startLength = data[1] & 7;
    const size_t endLength = data[2] & 7;
    if (size < 3 + startLength + endLength)
        return 0;
    const QByteArray startMarker = FuzzBytes(data + 3, startLength);
    const QByteArray endMarker = FuzzBytes(data + 3 + startLength, endLength);
    const size_t head = 3 + startLength + endLength;
    // A copy of its own, so that ASan sees a read past the text's end.
    QByteArray scanned = FuzzBytes(data + head, size - head);
    QByteArray expected = scanned;

    for (int i = 0; i < cuts; ++i) {
        const QByteArray field = CutBetween(scanned, startMarker, endMarker, offset);
        const QByteArray reference = ReferenceCut(expected, startMarker, endMarker, offset);
        FUZZ_CHECK(field == reference);
        FUZZ_CHECK(scanned == expected);
    }
    return 0;
}
