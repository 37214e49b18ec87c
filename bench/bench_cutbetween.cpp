// Cost of the parsing routines on realistic inputs. The page walk must grow
// linearly with the page: compare the 1 MB / 5,000-field run with the
// 2 MB / 10,000-field one.

#include "util/UUtils.h"

#include <benchmark/benchmark.h>

namespace {

// A result page of `fields` fields, two per table row, padded to `bytes`.
QByteArray makePage(qsizetype bytes, int fields)
{
    const int rows = fields / 2;
    const qsizetype rowSize = bytes / rows;
    QByteArray page;
    page.reserve(bytes + rowSize);
    for (int r = 0; r < rows; ++r) {
        QByteArray row = "<tr><td class='k'>golf clubs " + QByteArray::number(r) +
                         "</td>\n<td class='c'>Searches: " + QByteArray::number(r * 7) +
                         ";</td></tr>\n";
        // Filler that keeps both letter cases of the markers' first bytes busy.
        const QByteArray filler = "<span>Some Searching words, some results</span> ";
        while (row.size() + filler.size() < rowSize)
            row.prepend(filler);
        row.prepend(QByteArray(rowSize - row.size(), ' '));
        page += row;
    }
    return page;
}

// One marker pair starts with '<', the other with a letter: both search paths.
void BM_CutBetweenWalk(benchmark::State &state)
{
    const QByteArray page = makePage(state.range(0), int(state.range(1)));
    qsizetype total = 0;
    for (auto _ : state) {
        QByteArray scanned = page;
        for (int f = 0; f < state.range(1); f += 2) {
            total += CutBetween(scanned, "<TD CLASS='K'>", "</td>").size();
            total += CutBetween(scanned, "searches: ", ";").size();
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * page.size());
}
BENCHMARK(BM_CutBetweenWalk)
    ->Args({1 << 20, 5000})
    ->Args({2 << 20, 10000})
    ->Unit(benchmark::kMillisecond);

// For contrast: the same walk copying the rest of the page at every cut.
void BM_CutBetweenWalkCopyingRest(benchmark::State &state)
{
    const QByteArray page = makePage(state.range(0), int(state.range(1)));
    for (auto _ : state) {
        QByteArray scanned = page;
        for (int f = 0; f < state.range(1); ++f) {
            const qsizetype at = scanned.indexOf("<td");
            if (at < 0)
                break;
            scanned = QByteArray(scanned.constData() + at + 3, scanned.size() - at - 3);
        }
        benchmark::DoNotOptimize(scanned);
    }
}
BENCHMARK(BM_CutBetweenWalkCopyingRest)
    ->Args({1 << 20, 5000})
    ->Args({2 << 20, 10000})
    ->Unit(benchmark::kMillisecond);

void BM_HtmlToTextCell(benchmark::State &state)
{
    const QByteArray cell = "<td><b>Golf</b>&nbsp;clubs &amp;amp; <em>bags</em><br>\r\n</td>";
    for (auto _ : state)
        benchmark::DoNotOptimize(HtmlToText(cell));
}
BENCHMARK(BM_HtmlToTextCell);

void BM_ReplaceAllRescan(benchmark::State &state)
{
    const QByteArray text = QByteArray("golf &amp;amp; clubs ").repeated(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ReplaceAllRescan(text, "&amp;", "&"));
    state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}
BENCHMARK(BM_ReplaceAllRescan)->Arg(10000)->Arg(20000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
