// Reading a suggestion result page into the keyword list. The walk must grow
// linearly with the page: compare the 5,000-row run (about 1 MB) with the
// 10,000-row one.

#include "base/KeywordList.h"
#include "base/StatusBar.h"
#include "keywords/GatherKeywords.h"

#include <benchmark/benchmark.h>

namespace {

class CountingStatus : public IStatusBar
{
public:
    int updates = 0;
    void SetMainStatus(const QString &) override {}
    void SetRowCountText(const QString &) override { ++updates; }
};

// Rows shaped like the service's: a bold part, a "dig deeper" link inside the
// keyword cell, a count with separators; padded to about 200 bytes each.
QByteArray makePage(int rows)
{
    QByteArray page = "<html><head><title>Free Keyword Suggestion Tool</title></head><body>\n"
                      "<table class=\"results\" cellspacing=\"0\">\n"
                      "<tr><th colspan=\"2\" class=\"keyword\">Keyword</th></tr>\n";
    for (int r = 0; r < rows; ++r) {
        const QByteArray phrase = "golf clubs " + QByteArray::number(r);
        page += "<tr><td class='k'><b>golf</b> clubs " + QByteArray::number(r) +
                " (<a href=\"/wt/?seed=" + QByteArray(phrase).replace(' ', '+') +
                "&amp;adult_filter=remove_offensive&amp;suggest=Hit+Me\" title=\"Dig "
                "deeper\">?</a>)</td><td class='s'>" +
                QByteArray::number(100000 - r) + "</td></tr>\n";
        page += QByteArray(200 - (page.size() % 200 == 0 ? 200 : page.size() % 200), ' ');
    }
    return page + "</table></body></html>\n";
}

void BM_ParseSuggestionPage(benchmark::State &state)
{
    const QByteArray page = makePage(int(state.range(0)));
    for (auto _ : state) {
        TKeywordList list;
        CountingStatus status;
        ParseSuggestionPage(page, list, status);
        if (list.count() != state.range(0))
            state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(list.count());
    }
    state.SetBytesProcessed(state.iterations() * page.size());
    state.counters["page_bytes"] = double(page.size());
}
BENCHMARK(BM_ParseSuggestionPage)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
