// Kills a real process with SIGKILL in the middle of Gather Data against the
// emulator, at random moments, and restores its journal: every count the
// emulator answered more than a second before the kill is back with where
// it came from, nothing comes back that was not gathered, and the rows,
// their order, marks and bytes are exact. One run goes through the real
// window: the restore question, then Gather Missing Counts, which asks for
// exactly the missing counts and ends with the list and CSV file of a run
// that was never interrupted.

#include "KillRun.h"
#include "journal/Journal.h"
#include "stats/GatherData.h"
#include "stats/StatsTestSupport.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <map>
#include <set>

namespace {

constexpr int kKeywords = 40;

struct KilledRun
{
    std::vector<sandbox::RecordedRequest> requests;
    std::vector<qint64> seenAt; // when the test first saw each request
    qint64 killedAt = 0;
};

// Each engine request a run can make, by its request target.
std::map<std::string, std::pair<int, int>> requestTargets(const TKeywordList &list,
                                                          const Endpoints &urls, int searchType)
{
    std::map<std::string, std::pair<int, int>> out;
    for (int r = 0; r < list.count(); ++r)
        for (TEngine engine : AllEngines) {
            const QByteArray address =
                QueryAddress(urls, engine, list.text(r, KeywordRow::Keywords), searchType);
            const QByteArray target = address.mid(address.indexOf('/', 7));
            out[target.toStdString()] = {r, EngineColumn(engine)};
        }
    return out;
}

} // namespace

class TestJournalKill : public QObject
{
    Q_OBJECT

    sandbox::Sandbox box;
    Endpoints urls;
    quint32 seed = 0;

    void slowEngines()
    {
        box.clearFaults();
        for (const char *prefix : {"/google", "/yahoo", "/msn"}) {
            sandbox::Fault slow;
            slow.pathPrefix = prefix;
            slow.delayBeforeMs = 10;
            box.addFault(slow);
        }
    }

    // Starts the child, lets it gather for killAfterMs and kills it.
    bool runAndKill(const QStringList &args, int killAfterMs, KilledRun &out)
    {
        box.clearRequests();
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(JOURNAL_CHILD), args);
        if (!child.waitForStarted(10000))
            return false;
        QByteArray said;
        while (!said.contains("ready\n")) {
            if (!child.waitForReadyRead(30000))
                return false;
            said += child.readAll();
        }
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < killAfterMs) {
            const size_t n = box.requests().size();
            while (out.seenAt.size() < n)
                out.seenAt.push_back(clock.elapsed());
            QThread::usleep(500);
        }
        child.kill();
        out.killedAt = clock.elapsed();
        child.waitForFinished(10000);
        out.requests = box.requests();
        while (out.seenAt.size() < out.requests.size())
            out.seenAt.push_back(out.killedAt);
        return true;
    }

    // The restored list against the run's list and the emulator's log.
    void checkRestored(const TKeywordList &restored, const KilledRun &run, int searchType,
                       int *answeredEarly = nullptr)
    {
        TKeywordList expected;
        PrepareKillRunList(expected, kKeywords);
        QCOMPARE(restored.count(), expected.count());
        for (int r = 0; r < expected.count(); ++r) {
            for (int c :
                 {int(KeywordRow::No), int(KeywordRow::Keywords), int(KeywordRow::Searches)})
                QCOMPARE(restored.text(r, c), expected.text(r, c));
            QCOMPARE(restored.isChecked(r), expected.isChecked(r));
        }
        const auto targets = requestTargets(expected, urls, searchType);
        std::set<std::pair<int, int>> asked;
        int early = 0;
        for (size_t i = 0; i < run.requests.size(); ++i) {
            const auto cell = targets.find(run.requests[i].target);
            QVERIFY2(cell != targets.end(), run.requests[i].target.c_str());
            asked.insert(cell->second);
            // Requests go one after another: a request was answered before
            // the next one arrived.
            if (i + 1 >= run.requests.size() || run.seenAt[i + 1] > run.killedAt - 1000)
                continue;
            ++early;
            const auto [row, column] = cell->second;
            const QByteArray keyword = expected.text(row, KeywordRow::Keywords);
            QCOMPARE(restored.text(row, column),
                     ExpectedCount(EngineNames[column - KeywordRow::Google], keyword, searchType));
            const TCountSource &source = restored.source(row, column);
            QCOMPARE(source.What, TCountSource::Kind::Count);
            QCOMPARE(source.SearchType, searchType);
            QVERIFY(source.When.isValid());
        }
        // Nothing that was not gathered.
        for (int r = 0; r < restored.count(); ++r)
            for (int column = KeywordRow::Google; column <= KeywordRow::Msn; ++column) {
                if (restored.text(r, column).isEmpty() &&
                    restored.source(r, column).What == TCountSource::Kind::NeverAsked)
                    continue;
                QVERIFY2(asked.count({r, column}), qPrintable(QStringLiteral("row %1").arg(r)));
                QCOMPARE(restored.text(r, column),
                         ExpectedCount(EngineNames[column - KeywordRow::Google],
                                       restored.text(r, KeywordRow::Keywords), searchType));
            }
        if (answeredEarly)
            *answeredEarly = early;
    }

    std::unique_ptr<TfrmMain> openWindow(const QString &programFolder, ScriptedMessageBox &msg,
                                         const QString &journalFolder)
    {
        auto w = std::make_unique<TfrmMain>(urls, programFolder);
        w->Timer1->stop();
        w->SetMessageBox(&msg);
        if (!journalFolder.isEmpty())
            w->StartJournal(journalFolder);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        return w;
    }

    QByteArray saveResults(TfrmMain &w, ModalScript &script, const QString &name)
    {
        script.then([name](QDialog &d) {
            d.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
            QTest::mouseClick(d.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))
                                  ->button(QDialogButtonBox::Save),
                              Qt::LeftButton);
        });
        QTest::mouseClick(w.btnSaveResults, Qt::LeftButton);
        QFile saved(w.ProgramFolder() + name + QStringLiteral(".csv"));
        return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray("(not saved)");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(box.start());
        urls = KillRunEndpoints(QByteArray::fromStdString(box.baseUrl()));
        seed = QRandomGenerator::global()->generate();
        qInfo("kill moments drawn with seed %u", seed);
    }

    void killedGatherData_restoresWhatWasAnswered()
    {
        QRandomGenerator random(seed);
        int killedMidRun = 0;
        for (int round = 0; round < 20; ++round) {
            QTemporaryDir dir;
            QVERIFY(dir.isValid());
            const QString folder = dir.path() + QStringLiteral("/journal");
            const int searchType = round % 2;
            const int killAfter = 100 + int(random.bounded(1900));
            slowEngines();
            KilledRun run;
            QVERIFY(
                runAndKill({QStringLiteral("gather"), folder, QString::fromStdString(box.baseUrl()),
                            QString::number(kKeywords), QString::number(searchType)},
                           killAfter, run));
            if (run.requests.size() < size_t(3 * kKeywords))
                ++killedMidRun;

            TKeywordList restored;
            TJournal journal;
            journal.attach(restored);
            QVERIFY(journal.open(folder));
            QVERIFY2(journal.pendingRestore(), qPrintable(QStringLiteral("round %1").arg(round)));
            QVERIFY(journal.restore());
            checkRestored(restored, run, searchType);
            if (QTest::currentTestFailed()) {
                qWarning("round %d, killed after %d ms with %zu requests", round, killAfter,
                         run.requests.size());
                return;
            }
        }
        QVERIFY(killedMidRun >= 10);
    }

    void killedWindow_restoreQuestion_thenMissingCountsMatchAnUninterruptedRun()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.path() + QStringLiteral("/journal");
        const QString childProgram = dir.path() + QStringLiteral("/child/");
        const QString restoredProgram = dir.path() + QStringLiteral("/restored/");
        const QString wholeProgram = dir.path() + QStringLiteral("/whole/");
        for (const QString &p : {childProgram, restoredProgram, wholeProgram})
            QVERIFY(QDir().mkpath(p));
        // Broad, so that the preselected choice is not the dialog's own.
        const int searchType = 1;
        slowEngines();
        KilledRun run;
        QVERIFY(runAndKill({QStringLiteral("window"), folder, QString::fromStdString(box.baseUrl()),
                            QString::number(kKeywords), QString::number(searchType), childProgram},
                           1300, run));
        QVERIFY(run.requests.size() < size_t(3 * kKeywords));
        box.clearFaults();
        box.clearRequests();

        // The next start asks, and Yes brings the list back.
        ScriptedMessageBox msg;
        msg.answers = {MsgResult::Yes};
        auto w = openWindow(restoredProgram, msg, folder);
        QVERIFY(w);
        QTRY_COMPARE(msg.shown.size(), 1);
        const QRegularExpression question(QStringLiteral(
            R"(^Restore the list of the last run \(40 keywords, last change \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\)\?$)"));
        QVERIFY2(question.match(msg.shown[0].text).hasMatch(), qPrintable(msg.shown[0].text));
        TKeywordList &list = *w->Items();
        int early = 0;
        checkRestored(list, run, searchType, &early);
        QVERIFY(early > 0);
        const int missing = MissingCountRequests(list, searchType);
        QVERIFY(missing > 0);
        QCOMPARE(w->MainStatusPanel->text(),
                 QStringLiteral("The list of the last run is back; %1 counts are missing: "
                                "Gather Missing Counts finishes them.")
                     .arg(missing));
        SaveShot(*w, QStringLiteral("journal-restored"));

        // Gather Missing Counts: the run's search type is already chosen,
        // and exactly the missing cells are asked for.
        std::multiset<std::string> expectedTargets;
        for (const auto &[target, cell] : requestTargets(list, urls, searchType))
            if (NeedsCount(list.row(cell.first),
                           cell.second == KeywordRow::Google
                               ? TEngine::Google
                               : (cell.second == KeywordRow::Yahoo ? TEngine::Yahoo : TEngine::Msn),
                           searchType))
                expectedTargets.insert(target);
        QCOMPARE(int(expectedTargets.size()), missing);
        ModalScript script;
        bool preselected = false;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TfrmSelSearch &>(d);
            preselected = dlg.bsSkinCheckRadioBox2->isChecked();
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        w->actGatherMissing->trigger();
        QVERIFY(preselected);
        std::multiset<std::string> sent;
        for (const sandbox::RecordedRequest &r : box.requests())
            sent.insert(r.target);
        QVERIFY(sent == expectedTargets);
        const QByteArray restoredCsv = saveResults(*w, script, QStringLiteral("restored"));

        // The same run, never interrupted.
        ScriptedMessageBox quiet;
        auto whole = openWindow(wholeProgram, quiet, {});
        QVERIFY(whole);
        PrepareKillRunList(*whole->Items(), kKeywords);
        AnswerSearchType(script, searchType);
        QTest::mouseClick(whole->btnGatherData, Qt::LeftButton);
        const QByteArray wholeCsv = saveResults(*whole, script, QStringLiteral("whole"));
        QVERIFY(script.steps.isEmpty());
        QCOMPARE(restoredCsv, wholeCsv);
        for (int r = 0; r < list.count(); ++r)
            for (int c = 0; c < KeywordRow::ColumnCount; ++c)
                QCOMPARE(list.text(r, c), whole->Items()->text(r, c));
        whole.reset();
        w.reset();
    }
};

QTEST_MAIN(TestJournalKill)
#include "test_journal_kill.moc"
