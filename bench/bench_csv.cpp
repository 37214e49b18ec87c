// Save Results on a big list: building the CSV text and writing the file.

#include "base/KeywordList.h"
#include "stats/CsvWriter.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void fill(TKeywordList &list, int rows)
{
    QList<QByteArray> keywords;
    keywords.reserve(rows);
    for (int i = 0; i < rows; ++i)
        keywords.append("golf clubs for women size " + QByteArray::number(i));
    list.appendKeywords(keywords, 1);
    for (int i = 0; i < rows; ++i) {
        list.setText(i, KeywordRow::Searches, "12,345");
        list.setText(i, KeywordRow::Google, "1,234,567,890");
        list.setText(i, KeywordRow::Yahoo, "555,444,333");
        // Every tenth row carries a quote that has to be doubled.
        list.setText(i, KeywordRow::Msn, i % 10 ? QByteArray("98,765,432") : "9\"8");
    }
}

void BM_CsvText(benchmark::State &state)
{
    TKeywordList list;
    fill(list, int(state.range(0)));
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray text = CsvText(list);
        bytes = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_CsvText)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SaveCsvFile(benchmark::State &state)
{
    TKeywordList list;
    fill(list, int(state.range(0)));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    for (auto _ : state) {
        if (!SaveCsvFile(path, list))
            state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveCsvFile)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
