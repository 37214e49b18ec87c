// What keeping the list on disk costs: Gather Data against the in-process
// emulator with and without the journal (the two alternate, so both see the
// same machine), importing and restoring 1,000,000 keywords, the journal's
// size per row, and the longest time the event loop went unserved while
// gathering into a 100,000-row list.

#include "base/CommandContext.h"
#include "base/HttpClient.h"
#include "base/KeywordList.h"
#include "base/MessageBox.h"
#include "base/Prompts.h"
#include "base/RunState.h"
#include "base/StatusBar.h"
#include "journal/Journal.h"
#include "keywords/KeywordFile.h"
#include "stats/GatherData.h"

#include "sandbox/Sandbox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <ctime>

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

sandbox::Sandbox &emulator()
{
    static sandbox::Sandbox box;
    if (!box.isRunning())
        box.start();
    return box;
}

Endpoints emulatorUrls()
{
    sandbox::Sandbox &box = emulator();
    Endpoints urls;
    urls.Google = QByteArray::fromStdString(box.googleBase());
    urls.Yahoo = QByteArray::fromStdString(box.yahooBase());
    urls.Msn = QByteArray::fromStdString(box.msnBase());
    return urls;
}

QList<QByteArray> keywords(int count)
{
    static const char *const words[] = {"golf",   "clubs",   "cheap", "women", "used", "irons",
                                        "putter", "lessons", "near",  "me",    "best", "balls"};
    QList<QByteArray> out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out.append(QByteArray(words[i % 12]) + ' ' + words[(i / 12) % 12] + ' ' +
                   words[(i / 144) % 12] + ' ' + QByteArray::number(i));
    return out;
}

// CPU seconds of the whole process, both threads: on a busy machine the
// wall clock also counts what other programs ran meanwhile.
double processCpuS()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The longest wait between two turns of a 5 ms timer.
class GapProbe : public QObject
{
public:
    GapProbe()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = qMax(m_worst, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_last = 0;
        m_timer.start(5);
    }
    double worstMs() const { return double(m_worst) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

// One Gather Data run over rows keywords; with a journal when journalFolder is set.
double gatherMs(int rows, const QString &journalFolder, double *worstGapMs = nullptr,
                int totalRows = 0)
{
    QTemporaryDir program;
    TRunState run;
    THttpClient http(run, program.path() + QLatin1Char('/'));
    TKeywordList list;
    Quiet quiet;
    std::unique_ptr<TJournal> journal;
    if (!journalFolder.isEmpty()) {
        journal = std::make_unique<TJournal>();
        journal->attach(list);
        journal->open(journalFolder);
    }
    list.appendKeywords(keywords(qMax(rows, totalRows)), 1);
    if (journal)
        journal->flush();
    TCommandContext ctx{list, http, run, quiet, quiet, quiet, emulatorUrls()};
    // A big list is gathered only for its first rows.
    int answered = 0;
    QObject stopper;
    QObject::connect(&list, &QAbstractItemModel::dataChanged, &stopper, [&] {
        if (++answered >= rows * 3)
            run.StopRequested = true;
    });
    emulator().clearRequests();
    if (journal)
        journal->runStarted(0, 0);
    // The run as the user waits for it; the writer keeps committing in the
    // background meanwhile.
    GapProbe probe;
    QElapsedTimer clock;
    clock.start();
    GatherData(ctx, 0);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (journal) {
        journal->runEnded();
        journal->flush();
    }
    if (worstGapMs)
        *worstGapMs = probe.worstMs();
    if (journal)
        journal->closeNormally();
    return ms;
}

void BM_GatherData_WithAndWithoutJournal(benchmark::State &state)
{
    const int rows = int(state.range(0));
    double without = 0, with = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        without += gatherMs(rows, {});
        with += gatherMs(rows, dir.path() + QStringLiteral("/journal"));
    }
    const double n = double(state.iterations());
    state.counters["without_ms"] = without / n;
    state.counters["with_ms"] = with / n;
    state.counters["slower_%"] = (with / without - 1.0) * 100.0;
}
BENCHMARK(BM_GatherData_WithAndWithoutJournal)
    ->Arg(300)
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_EventLoopGap_Gathering100kRowList(benchmark::State &state)
{
    double gapWith = 0, gapWithout = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        gatherMs(200, {}, &gapWithout, 100000);
        gatherMs(200, dir.path() + QStringLiteral("/journal"), &gapWith, 100000);
    }
    state.counters["worst_gap_ms_without"] = gapWithout;
    state.counters["worst_gap_ms_with"] = gapWith;
}
BENCHMARK(BM_EventLoopGap_Gathering100kRowList)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Importing a text file of a million keywords until the journal has
// committed them (and the same without a journal), then
// the next start restoring them into an empty list.
void BM_Import_Restore_1M(benchmark::State &state)
{
    const int rows = int(state.range(0));
    QByteArray file;
    for (const QByteArray &k : keywords(rows))
        file += k + "\r\n";
    Quiet quiet;
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/journal");
        QElapsedTimer clock;
        double importS = 0, plainS = 0, restoreS = 0, rejournalS = 0, bytesPerRow = 0;
        double importCpu = 0, restoreCpu = 0;
        {
            TKeywordList plain;
            clock.start();
            AddKeywordsFromText(file, plain, quiet);
            plainS = double(clock.nsecsElapsed()) / 1e9;
        }
        {
            TKeywordList list;
            TJournal journal;
            journal.attach(list);
            journal.open(folder);
            clock.start();
            const double cpu = processCpuS();
            AddKeywordsFromText(file, list, quiet);
            journal.flush();
            importS = double(clock.nsecsElapsed()) / 1e9;
            importCpu = processCpuS() - cpu;
            journal.flush();
        } // left as a crash leaves it
        {
            TKeywordList list;
            TJournal journal;
            journal.attach(list);
            journal.open(folder);
            clock.start();
            const double cpu = processCpuS();
            const auto restored = journal.restore();
            restoreS = double(clock.nsecsElapsed()) / 1e9;
            restoreCpu = processCpuS() - cpu;
            journal.flush();
            rejournalS = double(clock.nsecsElapsed()) / 1e9;
            if (!restored || list.count() != rows)
                state.SkipWithError("restore failed");
            journal.closeNormally();
        }
        // Closed: the WAL is folded in, the file is what a row costs.
        bytesPerRow =
            double(QFileInfo(TJournal::slotBase(folder, 1) + QStringLiteral(".previous.journal"))
                       .size()) /
            rows;
        state.counters["import_s"] = importS;
        state.counters["import_without_journal_s"] = plainS;
        state.counters["restore_s"] = restoreS;
        state.counters["import_cpu_s"] = importCpu;
        state.counters["restore_cpu_s"] = restoreCpu;
        state.counters["restore_and_rejournal_s"] = rejournalS;
        state.counters["bytes_per_row"] = bytesPerRow;
    }
}
BENCHMARK(BM_Import_Restore_1M)
    ->Arg(1000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A gathered row: three counts with their provenance.
void BM_BytesPerGatheredRow(benchmark::State &state)
{
    const int rows = 20000;
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/journal");
        TKeywordList list;
        TJournal journal;
        journal.attach(list);
        journal.open(folder);
        list.appendKeywords(keywords(rows), 1);
        const QDateTime now = QDateTime::currentDateTime();
        for (int r = 0; r < rows; ++r)
            for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c)
                list.setCount(r, c, "1,234,567", TCountSource::Answered(0, true, now));
        journal.closeNormally();
        state.counters["bytes_per_gathered_row"] =
            double(QFileInfo(TJournal::slotBase(folder, 1) + QStringLiteral(".journal")).size()) /
            rows;
    }
}
BENCHMARK(BM_BytesPerGatheredRow)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

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
