// libFuzzer target: the suggestion service's result page.
//
// Byte 0 (mod 4) is the number of rows already listed; the rest is the page.
// The new rows are numbered on from those, each has a non-empty trimmed
// keyword cut from its own keyword cell, the row-count text follows every row
// and the rows listed before stay as they were.

#include "FuzzSupport.h"
#include "base/KeywordList.h"
#include "keywords/SuggestionPage.h"

namespace {

qsizetype CountFolded(const QByteArray &page, const QByteArray &marker)
{
    qsizetype count = 0;
    for (qsizetype at = PlainIndexOfFolded(page, marker); at >= 0;
         at = PlainIndexOfFolded(page, marker, at + marker.size()))
        ++count;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int before = data[0] & 3;
    const QByteArray page = FuzzBytes(data + 1, size - 1);

    TKeywordList list;
    for (int i = 0; i < before; ++i)
        list.addRow("listed " + QByteArray::number(i), "7");
    TRecordingStatus status;
    ParseSuggestionPage(page, list, status);

    const int added = list.count() - before;
    FUZZ_CHECK(added >= 0);
    FUZZ_CHECK(added <= CountFolded(page, "<td class='k'>"));
    FUZZ_CHECK(status.RowCountCalls == added);
    if (added > 0)
        FUZZ_CHECK(status.RowCountText == ItemsListedText(list.count()));
    for (int i = 0; i < list.count(); ++i) {
        const KeywordRow &row = list.row(i);
        FUZZ_CHECK(row[KeywordRow::No] == QByteArray::number(i + 1));
        if (i < before) {
            FUZZ_CHECK(row[KeywordRow::Keywords] == "listed " + QByteArray::number(i));
            continue;
        }
        const QByteArray &keyword = row[KeywordRow::Keywords];
        FUZZ_CHECK(!keyword.isEmpty() && IsTrimmed(keyword) && keyword.size() <= page.size());
        FUZZ_CHECK(IsTrimmed(row[KeywordRow::Searches]));
        for (int column : {KeywordRow::Google, KeywordRow::Yahoo, KeywordRow::Msn})
            FUZZ_CHECK(row[column].isEmpty());
    }
    return 0;
}
