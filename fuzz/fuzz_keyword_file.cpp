// libFuzzer target: a keyword text file's contents.
//
// Byte 0 (mod 4) is the number of rows already listed; the rest is the file.
// The new rows must be the file's lines as a plain splitter finds them
// (CR LF, LF or CR end a line, a zero byte ends the text, a final line break
// adds no line), numbered on from the rows before, with "Total: N" shown; and
// the lines written back with CR LF read back unchanged.

#include "FuzzSupport.h"
#include "base/KeywordList.h"
#include "base/TextLines.h"
#include "keywords/KeywordFile.h"

namespace {

QList<QByteArray> PlainLines(const QByteArray &data)
{
    QByteArray text = data;
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    QList<QByteArray> lines;
    QByteArray line;
    bool open = false; // bytes since the last line break
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.append(line);
            line.clear();
            open = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
            open = true;
        }
    }
    if (open)
        lines.append(line);
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int before = data[0] & 3;
    const QByteArray file = FuzzBytes(data + 1, size - 1);

    TKeywordList list;
    for (int i = 0; i < before; ++i)
        list.addRow("listed " + QByteArray::number(i));
    TRecordingStatus status;
    AddKeywordsFromText(file, list, status);

    const QList<QByteArray> expected = PlainLines(file);
    FUZZ_CHECK(list.count() == before + expected.size());
    FUZZ_CHECK(status.RowCountText == QStringLiteral("Total: ") + QString::number(list.count()));
    for (int i = 0; i < list.count(); ++i) {
        const KeywordRow &row = list.row(i);
        FUZZ_CHECK(row[KeywordRow::No] == QByteArray::number(i + 1));
        FUZZ_CHECK(row[KeywordRow::Keywords] ==
                   (i < before ? "listed " + QByteArray::number(i) : expected[i - before]));
        FUZZ_CHECK(row[KeywordRow::Searches].isEmpty());
    }

    const QList<QByteArray> lines = TextLines(file);
    FUZZ_CHECK(lines == expected);
    FUZZ_CHECK(TextLines(JoinLinesCrLf(lines)) == lines);
    return 0;
}
