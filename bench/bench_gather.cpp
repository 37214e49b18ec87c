// Gather Data against the in-process emulator with no delay: how many page
// requests a second the loop gets through, and where the time goes (the
// whole loop, FetchPage with its temporary file, the bare GET).

#include "base/CommandContext.h"
#include "base/HttpClient.h"
#include "base/KeywordList.h"
#include "base/MessageBox.h"
#include "base/Prompts.h"
#include "base/RunState.h"
#include "base/StatusBar.h"
#include "stats/GatherData.h"

#include "sandbox/Sandbox.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

struct Quiet : IMessageBox, IStatusBar, IUserPrompts
{
    MsgResult Show(const QString &, MsgType, MsgButtons) override { return MsgResult::Ok; }
    void SetMainStatus(const QString &) override {}
    void SetRowCountText(const QString &) override {}
    std::optional<CaptchaAnswer> AskCaptcha(const QByteArray &) override { return {}; }
    std::optional<int> AskSearchType() override { return 0; }
    QString AskSaveFileName(const QString &) override { return {}; }
};

struct Setup
{
    sandbox::Sandbox box;
    QTemporaryDir folder;
    TRunState run;
    THttpClient http{run, folder.path() + QLatin1Char('/')};
    TKeywordList list;
    Quiet quiet;
    Endpoints urls;

    Setup()
    {
        box.start();
        urls.Google = QByteArray::fromStdString(box.googleBase());
        urls.Yahoo = QByteArray::fromStdString(box.yahooBase());
        urls.Msn = QByteArray::fromStdString(box.msnBase());
    }
    TCommandContext context() { return {list, http, run, quiet, quiet, quiet, urls}; }
};

void BM_GatherRun(benchmark::State &state)
{
    Setup s;
    const auto suggestions = sandbox::Sandbox::suggestionsFor("golf");
    for (int i = 0; i < state.range(0); ++i)
        s.list.addRow(QByteArray::fromStdString(suggestions[size_t(i) % suggestions.size()].first) +
                      ' ' + QByteArray::number(i));
    TCommandContext ctx = s.context();
    for (auto _ : state) {
        s.box.clearRequests();
        GatherData(ctx, 0);
    }
    const auto requests = double(state.iterations() * state.range(0) * 3);
    state.counters["requests/s"] = benchmark::Counter(requests, benchmark::Counter::kIsRate);
    if (s.list.row(int(state.range(0)) - 1)[KeywordRow::Msn].isEmpty())
        state.SkipWithError("last row not gathered");
}
BENCHMARK(BM_GatherRun)->Arg(300)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FetchPage(benchmark::State &state)
{
    Setup s;
    const QByteArray address = s.urls.Google + "/search?q=%22golf+clubs%22";
    QByteArray page;
    for (auto _ : state) {
        if (!s.http.FetchPage(address, page))
            state.SkipWithError("fetch failed");
        s.box.clearRequests();
    }
    state.counters["requests/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FetchPage)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_GetOnly(benchmark::State &state)
{
    Setup s;
    const QByteArray address = s.urls.Google + "/search?q=%22golf+clubs%22";
    for (auto _ : state) {
        if (!s.http.Get(address).Ok)
            state.SkipWithError("get failed");
        s.box.clearRequests();
    }
    state.counters["requests/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GetOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ResultRow(benchmark::State &state)
{
    const QByteArray page =
        QByteArray::fromStdString(sandbox::Sandbox::engineCount("google", "golf"))
            .prepend(QByteArray(6000, 'x') +
                     "<font size=-1>Results <b>1</b> - <b>10</b> of about <b>") +
        "</b> for <b>golf</b>" + QByteArray(20000, 'y');
    for (auto _ : state)
        benchmark::DoNotOptimize(ResultRow(TEngine::Google, page));
}
BENCHMARK(BM_ResultRow);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
