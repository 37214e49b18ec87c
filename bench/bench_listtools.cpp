// The keyword list's own tools on big lists: Remove Duplicates, Copy and
// taking a saved results file back in.

#include "base/KeywordList.h"
#include "base/ListActions.h"
#include "base/MessageBox.h"
#include "base/StatusBar.h"
#include "stats/CsvReader.h"
#include "stats/CsvWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <numeric>

namespace {

struct Quiet : IMessageBox, IStatusBar
{
    MsgResult Show(const QString &, MsgType, MsgButtons) override { return MsgResult::Ok; }
    void SetMainStatus(const QString &) override {}
    void SetRowCountText(const QString &) override {}
};

// A gathered list in which every third keyword repeats an earlier one in
// other letter case and spacing.
void fill(TKeywordList &list, int rows)
{
    std::vector<KeywordRow> all(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        KeywordRow &r = all[static_cast<size_t>(i)];
        r[KeywordRow::No] = QByteArray::number(i + 1);
        r[KeywordRow::Keywords] = i % 3 == 2
                                      ? "Golf  Clubs for WOMEN size " + QByteArray::number(i / 3)
                                      : "golf clubs for women size " + QByteArray::number(i);
        r[KeywordRow::Searches] = "12,345";
        r[KeywordRow::Google] = "1,234,567,890";
        r[KeywordRow::Yahoo] = "555,444,333";
        r[KeywordRow::Msn] = i % 10 ? QByteArray("98,765,432") : "9\"8";
    }
    list.appendRows(std::move(all));
}

void BM_RemoveDuplicates(benchmark::State &state)
{
    Quiet quiet;
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<TKeywordList>();
        fill(*list, int(state.range(0)));
        state.ResumeTiming();
        RemoveDuplicates(*list, quiet, quiet);
        benchmark::DoNotOptimize(list->count());
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RemoveDuplicates)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_Copy(benchmark::State &state)
{
    TKeywordList list;
    fill(list, int(state.range(0)));
    std::vector<int> selected(static_cast<size_t>(list.count()));
    std::iota(selected.begin(), selected.end(), 0);
    for (auto _ : state) {
        const QString text = CopyText(list, RowsToCopy(list, selected));
        benchmark::DoNotOptimize(text.constData());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Copy)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_DropSavedCsv(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("results.csv"));
    {
        TKeywordList saved;
        fill(saved, int(state.range(0)));
        SaveCsvFile(file, saved);
    }
    Quiet quiet;
    for (auto _ : state) {
        TKeywordList list;
        OpenResultFiles({file}, list, quiet, quiet, [](const QString &) {});
        if (list.count() != state.range(0))
            state.SkipWithError("rows lost");
        state.PauseTiming();
        list.deleteAll();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DropSavedCsv)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
