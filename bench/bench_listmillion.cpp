// The keyword list at a million rows: sorting, memory, duplicates. Each
// measurement also times a plain std::vector / std::sort baseline in the same
// run, so that a noisy machine still gives a comparable ratio
// ("x_baseline").

#include "base/KeywordFilter.h"
#include "base/KeywordList.h"
#include "base/ListActions.h"
#include "base/ListSorter.h"
#include "base/MessageBox.h"
#include "base/StatusBar.h"
#include "stats/XlsxExport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr int Million = 1000000;

struct Quiet : IMessageBox, IStatusBar
{
    MsgResult Show(const QString &, MsgType, MsgButtons) override { return MsgResult::Ok; }
    void SetMainStatus(const QString &) override {}
    void SetRowCountText(const QString &) override {}
};

QByteArray Keyword(std::mt19937 &random, int i)
{
    static const char *const words[] = {"golf",   "clubs", "shoes", "women", "men",  "cheap",
                                        "best",   "size",  "red",   "blue",  "used", "junior",
                                        "online", "shop",  "sale",  "new",   "Golf", "Tees"};
    QByteArray k;
    const int n = 2 + int(random() % 4);
    for (int w = 0; w < n; ++w) {
        if (w)
            k += ' ';
        k += words[random() % std::size(words)];
    }
    // Every fifth keyword repeats an earlier one; the rest are unique.
    if (i % 5 != 4)
        k += ' ' + QByteArray::number(i);
    else
        k += ' ' + QByteArray::number(i / 2);
    return k;
}

QByteArray Thousands(qint64 v)
{
    QByteArray s = QByteArray::number(v);
    for (qsizetype p = s.size() - 3; p > 0; p -= 3)
        s.insert(p, ',');
    return s;
}

std::vector<KeywordRow> MakeRows(int rows)
{
    std::mt19937 random(7);
    std::vector<KeywordRow> all(static_cast<size_t>(rows));
    const QDateTime when = QDateTime::currentDateTime();
    for (int i = 0; i < rows; ++i) {
        KeywordRow &r = all[static_cast<size_t>(i)];
        r[KeywordRow::No] = QByteArray::number(i + 1);
        r[KeywordRow::Keywords] = Keyword(random, i);
        r[KeywordRow::Searches] = Thousands(random() % 100000);
        r[KeywordRow::Google] = Thousands(qint64(random()) * 7);
        r[KeywordRow::Yahoo] = Thousands(random() % 50000000);
        r[KeywordRow::Msn] = i % 10 ? Thousands(random() % 9000000) : QByteArray();
        for (int e = 0; e < 3; ++e)
            r.Sources[size_t(e)] = TCountSource::Answered(0, true, when);
        if (i % 10 == 0)
            r.Sources[2] = TCountSource::NoAnswer(QStringLiteral("Server busy"));
    }
    return all;
}

std::unique_ptr<TKeywordList> MakeList(int rows)
{
    auto list = std::make_unique<TKeywordList>();
    list->appendRows(MakeRows(rows));
    return list;
}

size_t HeapInUse()
{
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The plain baselines: strings sorted case-insensitively, numbers sorted.
double BaselineStringSortSeconds(const TKeywordList &list)
{
    std::vector<std::string> texts;
    texts.reserve(size_t(list.count()));
    for (int r = 0; r < list.count(); ++r) {
        const QByteArray k = list.text(r, KeywordRow::Keywords);
        texts.emplace_back(k.constData(), size_t(k.size()));
    }
    QElapsedTimer t;
    t.start();
    std::sort(texts.begin(), texts.end(), [](const std::string &a, const std::string &b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    });
    benchmark::DoNotOptimize(texts.data());
    return double(t.nsecsElapsed()) / 1e9;
}

double BaselineNumberSortSeconds(int rows)
{
    std::mt19937_64 random(3);
    std::vector<qint64> numbers(static_cast<size_t>(rows));
    for (qint64 &n : numbers)
        n = qint64(random() >> 20);
    QElapsedTimer t;
    t.start();
    std::sort(numbers.begin(), numbers.end());
    benchmark::DoNotOptimize(numbers.data());
    return double(t.nsecsElapsed()) / 1e9;
}

void Report(benchmark::State &state, double seconds, double baseline)
{
    state.SetIterationTime(seconds);
    state.counters["baseline_ms"] = baseline * 1000;
    state.counters["x_baseline"] = seconds / baseline;
}

void BM_SortByKeywords(benchmark::State &state)
{
    auto list = MakeList(int(state.range(0)));
    bool ascending = true;
    for (auto _ : state) {
        const double baseline = BaselineStringSortSeconds(*list);
        QElapsedTimer t;
        t.start();
        list->sortByColumn(KeywordRow::Keywords, ascending);
        Report(state, double(t.nsecsElapsed()) / 1e9, baseline);
        ascending = !ascending;
    }
}
BENCHMARK(BM_SortByKeywords)
    ->Arg(Million)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SortByCount(benchmark::State &state)
{
    auto list = MakeList(int(state.range(0)));
    bool ascending = true;
    for (auto _ : state) {
        const double baseline = BaselineNumberSortSeconds(int(state.range(0)));
        QElapsedTimer t;
        t.start();
        list->sortByColumn(KeywordRow::Google, ascending);
        Report(state, double(t.nsecsElapsed()) / 1e9, baseline);
        ascending = !ascending;
    }
}
BENCHMARK(BM_SortByCount)
    ->Arg(Million)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SortByKei(benchmark::State &state)
{
    auto list = MakeList(int(state.range(0)));
    TKeywordViewModel view(*list);
    bool ascending = true;
    for (auto _ : state) {
        const double baseline = BaselineNumberSortSeconds(int(state.range(0)));
        QElapsedTimer t;
        t.start();
        list->applyOrder(view.keiOrder(ascending));
        Report(state, double(t.nsecsElapsed()) / 1e9, baseline);
        ascending = !ascending;
    }
}
BENCHMARK(BM_SortByKei)
    ->Arg(Million)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_MemoryPerRow(benchmark::State &state)
{
    for (auto _ : state) {
        const size_t before = HeapInUse();
        auto list = MakeList(int(state.range(0)));
        const size_t after = HeapInUse();
        // The baseline: the same texts as one std::string each.
        std::vector<std::string> plain;
        plain.reserve(size_t(list->count()));
        for (int r = 0; r < list->count(); ++r) {
            std::string line;
            for (int c = 0; c < KeywordRow::ColumnCount; ++c)
                line += list->text(r, c).toStdString();
            plain.push_back(std::move(line));
        }
        const size_t withPlain = HeapInUse();
        const double perRow = double(after - before) / double(list->count());
        const double plainPerRow = double(withPlain - after) / double(list->count());
        state.counters["bytes_per_row"] = perRow;
        state.counters["baseline_bytes_per_row"] = plainPerRow;
        state.counters["x_baseline"] = perRow / plainPerRow;
        state.SetIterationTime(1);
    }
}
BENCHMARK(BM_MemoryPerRow)
    ->Arg(Million)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_DuplicateRows(benchmark::State &state)
{
    auto list = MakeList(int(state.range(0)));
    for (auto _ : state) {
        const double baseline = BaselineStringSortSeconds(*list);
        QElapsedTimer t;
        t.start();
        const std::vector<bool> dup = DuplicateRows(*list);
        benchmark::DoNotOptimize(dup.size());
        Report(state, double(t.nsecsElapsed()) / 1e9, baseline);
    }
}
BENCHMARK(BM_DuplicateRows)
    ->Arg(Million)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_RemoveDuplicatesAnyWordOrder(benchmark::State &state)
{
    auto list = MakeList(int(state.range(0)));
    for (auto _ : state) {
        const double baseline = BaselineStringSortSeconds(*list);
        QElapsedTimer t;
        t.start();
        const std::vector<bool> dup = DuplicateRows(*list, TDuplicateRule::AnyWordOrder);
        benchmark::DoNotOptimize(dup.size());
        Report(state, double(t.nsecsElapsed()) / 1e9, baseline);
    }
}
BENCHMARK(BM_RemoveDuplicatesAnyWordOrder)
    ->Arg(Million)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The plain baseline of a filter: the rows whose text holds a word.
double BaselineScanSeconds(const TKeywordList &list)
{
    std::vector<std::string> texts;
    texts.reserve(size_t(list.count()));
    for (int r = 0; r < list.count(); ++r)
        texts.push_back(list.text(r, KeywordRow::Keywords).toStdString());
    QElapsedTimer t;
    t.start();
    std::vector<int> shown;
    for (size_t i = 0; i < texts.size(); ++i)
        if (texts[i].find("cheap") == std::string::npos)
            shown.push_back(int(i));
    benchmark::DoNotOptimize(shown.data());
    return double(t.nsecsElapsed()) / 1e9;
}

TKeywordFilter BenchFilter()
{
    TKeywordFilter f;
    f.NegativeWords = {QStringLiteral("cheap"), QStringLiteral("used"),
                       QStringLiteral("red shoes")};
    f.MaxWords = 5;
    f.MinSearches = 100;
    return f;
}

// Applying and clearing a filter, all at once (no slices).
void BM_FilterApplyThenClear(benchmark::State &state)
{
    auto list = MakeList(int(state.range(0)));
    TKeywordViewModel view(*list);
    view.setSliceRows(INT_MAX);
    for (auto _ : state) {
        const double baseline = BaselineScanSeconds(*list);
        QElapsedTimer t;
        t.start();
        view.setFilter(BenchFilter());
        const double apply = double(t.nsecsElapsed()) / 1e9;
        t.restart();
        view.clearFilter();
        const double clear = double(t.nsecsElapsed()) / 1e9;
        Report(state, apply, baseline);
        state.counters["clear_ms"] = clear * 1000;
    }
}
BENCHMARK(BM_FilterApplyThenClear)
    ->Arg(Million)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The longest the event loop waits while work runs: a 1 ms timer records
// the widest gap between its ticks.
struct GapProbe
{
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    QTimer timer;
    GapProbe()
    {
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            worst = std::max(worst, now - last);
            last = now;
        });
    }
    void start()
    {
        clock.start();
        last = 0;
        worst = 0;
        timer.start();
    }
    double stopMs()
    {
        timer.stop();
        worst = std::max(worst, clock.nsecsElapsed() - last);
        return double(worst) / 1e6;
    }
};

void BM_FilterInSlicesEventGap(benchmark::State &state)
{
    auto list = MakeList(int(state.range(0)));
    TKeywordViewModel view(*list);
    view.setSliceRows(50000);
    for (auto _ : state) {
        GapProbe probe;
        QEventLoop loop;
        QObject::connect(&view, &TKeywordViewModel::filterApplied, &loop, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        probe.start();
        QTimer::singleShot(0, [&] { view.setFilter(BenchFilter()); });
        loop.exec();
        const double gap = probe.stopMs();
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        state.counters["max_gap_ms"] = gap;
        view.clearFilter();
    }
}
BENCHMARK(BM_FilterInSlicesEventGap)
    ->Arg(Million)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SortOffThreadEventGap(benchmark::State &state)
{
    auto list = MakeList(int(state.range(0)));
    TListSorter sorter(*list);
    bool ascending = false;
    for (auto _ : state) {
        GapProbe probe;
        QEventLoop loop;
        QObject::connect(&sorter, &TListSorter::sorted, &loop, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        probe.start();
        QTimer::singleShot(0, [&] { sorter.start(KeywordRow::Keywords, ascending); });
        loop.exec();
        const double gap = probe.stopMs();
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        state.counters["max_gap_ms"] = gap;
        ascending = !ascending;
    }
}
BENCHMARK(BM_SortOffThreadEventGap)
    ->Arg(Million)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

size_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * size_t(sysconf(_SC_PAGESIZE));
}

void BM_ExportXlsx(benchmark::State &state)
{
    auto list = MakeList(int(state.range(0)));
    TKeywordViewModel view(*list);
    QTemporaryDir dir;
    TXlsxExport what;
    what.Rows = view.shownRows();
    what.Columns = {0, 1, 2, 3, 4, 5, TKeywordViewModel::KeiColumn};
    what.BandColours = {0xf4c7c3, 0xfceea7, 0xc6e9c0};
    for (auto _ : state) {
        // Baseline: the same rows as plain text lines into a file.
        QElapsedTimer t;
        t.start();
        {
            std::ofstream plain(dir.filePath(QStringLiteral("plain.txt")).toStdString());
            for (int r = 0; r < list->count(); ++r) {
                for (int c = 0; c < KeywordRow::ColumnCount; ++c)
                    plain << list->text(r, c).toStdString() << '\t';
                plain << '\n';
            }
        }
        const double baseline = double(t.nsecsElapsed()) / 1e9;
        malloc_trim(0);
        const size_t before = ResidentBytes();
        std::atomic<bool> done{false};
        std::atomic<size_t> peak{before};
        std::thread sampler([&] {
            while (!done) {
                peak = std::max(peak.load(), ResidentBytes());
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        t.restart();
        QString error;
        if (!WriteXlsx(dir.filePath(QStringLiteral("big.xlsx")), *list, what, error))
            state.SkipWithError(error.toStdString().c_str());
        const double seconds = double(t.nsecsElapsed()) / 1e9;
        done = true;
        sampler.join();
        Report(state, seconds, baseline);
        state.counters["extra_rss_mb"] = double(peak - before) / 1e6;
        state.counters["file_mb"] =
            double(QFile(dir.filePath(QStringLiteral("big.xlsx"))).size()) / 1e6;
    }
}
BENCHMARK(BM_ExportXlsx)
    ->Arg(100000)
    ->Arg(Million)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
