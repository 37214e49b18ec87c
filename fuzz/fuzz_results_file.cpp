// libFuzzer target: a results file taken back into the list.
//
// Whatever the reader accepts, Save Results writes back byte for byte; and
// any rows, written by Save Results, read back as they were. The input is
// tried both as a file and as the texts of rows (fields split at 0xFF).

#include "FuzzSupport.h"
#include "base/KeywordList.h"
#include "stats/CsvReader.h"
#include "stats/CsvWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = FuzzBytes(data, size);

    TCsvRead read = ReadCsv(bytes);
    if (read.Result == TCsvRead::Status::Ok) {
        TKeywordList list;
        list.appendRows(read.Rows);
        FUZZ_CHECK(CsvText(list) == bytes);
    } else {
        FUZZ_CHECK(read.Rows.empty());
    }

    std::vector<KeywordRow> rows;
    const QList<QByteArray> fields = bytes.split('\xFF');
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i % KeywordRow::ColumnCount == 0)
            rows.emplace_back();
        rows.back()[int(i % KeywordRow::ColumnCount)] = fields[i];
    }
    TKeywordList written;
    written.appendRows(rows);
    const TCsvRead back = ReadCsv(CsvText(written));
    FUZZ_CHECK(back.Result == TCsvRead::Status::Ok);
    FUZZ_CHECK(back.Rows.size() == rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        FUZZ_CHECK(back.Rows[r].Texts == rows[r].Texts);
    return 0;
}
