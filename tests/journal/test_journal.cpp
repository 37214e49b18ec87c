// The journal on its own: every kind of change comes back exactly after a
// run that did not close normally, a normal close offers nothing but keeps
// the list for Reopen Last List, two copies keep apart, and every fault of
// the file leaves the program working as without a journal.

#include "JournalTestSupport.h"
#include "base/ListActions.h"
#include "base/StatusBar.h"
#include "journal/Journal.h"
#include "journal/JournalPrompt.h"
#include "support/ScriptedMessageBox.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <linux/capability.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct RecordingStatus : IStatusBar
{
    QStringList main, rows;
    void SetMainStatus(const QString &text) override { main.append(text); }
    void SetRowCountText(const QString &text) override { rows.append(text); }
};

std::unique_ptr<TJournal> openOn(TKeywordList &list, const QString &folder)
{
    auto journal = std::make_unique<TJournal>();
    journal->attach(list);
    journal->open(folder);
    return journal;
}

// Ends a run the way a crash does, after what was committed.
void crash(std::unique_ptr<TJournal> &journal)
{
    journal->flush();
    journal.reset();
}

int modeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QStringList filesIn(const QString &folder, const QString &pattern)
{
    return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
}

void runSql(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// A root test process writes anywhere; to see a read-only folder as a user
// does, this thread gives up the rights that override file modes.
class WithoutOverride
{
public:
    WithoutOverride()
    {
        if (geteuid() != 0)
            return;
        syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutOverride()
    {
        if (m_dropped)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_dropped = false;
};

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString folder() const { return dir->path() + QStringLiteral("/journal"); }
    QString journalFile(int slot = 1) const
    {
        return TJournal::slotBase(folder(), slot) + QStringLiteral(".journal");
    }

    // A list with a little of everything, journaled and left as a crash
    // leaves it.
    void crashedRunWithRows(int rows)
    {
        TKeywordList list;
        auto journal = openOn(list, folder());
        QList<QByteArray> keywords;
        for (int i = 0; i < rows; ++i)
            keywords.append("keyword number " + QByteArray::number(i));
        list.appendKeywords(keywords, 1);
        crash(journal);
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
    }

    void everyChange_isRestoredExactly()
    {
        TKeywordList list;
        auto journal = openOn(list, folder());
        QVERIFY(journal->isActive());
        QVERIFY(!journal->pendingRestore());
        QCOMPARE(journal->notice(), QString());

        // Rows added in bulk and typed, with bytes no text encoding keeps.
        list.appendKeywords({"golf", QByteArray("caf\xe9 cr\xe8me"), QByteArray("nul\0byte", 8),
                             "say \"fore\"", "", "Golf  ", "putting green"},
                            1);
        list.addRow("typed phrase", "1,234");
        // Counts with each provenance.
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(1700000000123);
        list.setCount(0, KeywordRow::Google, "1,200", TCountSource::Answered(0, true, when));
        list.setCount(1, KeywordRow::Yahoo, "", TCountSource::Answered(1, false, when.addSecs(5)));
        list.setCountSource(2, KeywordRow::Msn,
                            TCountSource::NoAnswer(QStringLiteral("Read timed out \u00fc")));
        list.setCount(6, KeywordRow::Msn, "77", TCountSource::Answered(1, true, when.addMSecs(1)));
        list.setText(7, KeywordRow::Searches, "99");
        list.setChecked(3, true);
        // A sort, Remove Duplicates, check marks, a deletion.
        list.sortByColumn(KeywordRow::Keywords, false);
        list.removeMarkedRows(DuplicateRows(list));
        list.setAllChecked(true);
        list.setChecked(1, false);
        list.setChecked(0, false);
        list.setChecked(list.count() - 1, true);
        list.setChecked(2, false);
        list.deleteChecked();
        list.addRow("added after the sort");
        list.sortByColumn(KeywordRow::Msn, true);
        QVERIFY(list.count() >= 4);
        crash(journal);

        TKeywordList back;
        auto second = openOn(back, folder());
        QVERIFY(second->pendingRestore());
        QCOMPARE(second->pendingRestore()->Rows, qint64(list.count()));
        QVERIFY(second->restore());
        COMPARE_ROWS(back, list);

        // Delete All, then a row: the next restore has that row only.
        back.deleteAll();
        back.addRow("after delete all");
        crash(second);
        TKeywordList third;
        auto last = openOn(third, folder());
        QVERIFY(last->restore());
        COMPARE_ROWS(third, back);
    }

    void restoreQuestion_yesRestores_noKeepsOneBackup()
    {
        TKeywordList first;
        auto journal = openOn(first, folder());
        first.appendKeywords({"alpha", "beta"}, 1);
        crash(journal);

        // No: the list starts empty and the journal is kept as the backup.
        TKeywordList second;
        journal = openOn(second, folder());
        ScriptedMessageBox msg;
        msg.answers = {MsgResult::No};
        RecordingStatus status;
        TRestoreOutcome outcome = OfferJournalRestore(*journal, second, msg, status, {});
        QCOMPARE(msg.shown.size(), 1);
        QVERIFY(msg.shown[0].text.startsWith(
            QStringLiteral("Restore the list of the last run (2 keywords, last change ")));
        QCOMPARE(msg.shown[0].buttons, MsgButtons::YesNo);
        QVERIFY(outcome.Asked && !outcome.Restored);
        QCOMPARE(second.count(), 0);
        QVERIFY(journal->isActive());
        second.addRow("gamma");
        crash(journal);

        // No again: one backup, the newer one.
        TKeywordList third;
        journal = openOn(third, folder());
        msg.clear();
        msg.answers = {MsgResult::No};
        OfferJournalRestore(*journal, third, msg, status, {});
        QCOMPARE(filesIn(folder(), QStringLiteral("*.backup.journal*")),
                 QStringList{QStringLiteral("list.backup.journal")});
        TJournalStore backup;
        QCOMPARE(backup.openExisting(TJournal::slotBase(folder(), 1) + ".backup.journal"),
                 TJournalStore::Status::Ok);
        std::vector<KeywordRow> rows;
        QCOMPARE(backup.readRows(rows), TJournalStore::Status::Ok);
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(rows[0][KeywordRow::Keywords], QByteArray("gamma"));
        backup.close();

        // Yes brings the rows back and says so.
        third.appendKeywords({"delta", "epsilon", "zeta"}, 1);
        crash(journal);
        TKeywordList fourth;
        journal = openOn(fourth, folder());
        msg.clear();
        msg.answers = {MsgResult::Yes};
        status.main.clear();
        outcome = OfferJournalRestore(*journal, fourth, msg, status, {});
        QVERIFY(outcome.Restored && !outcome.Interrupted);
        COMPARE_ROWS(fourth, third);
        QCOMPARE(status.rows.last(), ItemsListedText(3));
        QCOMPARE(status.main.last(), QStringLiteral("The list of the last run is back."));
    }

    void interruptedRun_isReportedWithItsSearchType()
    {
        TKeywordList list;
        auto journal = openOn(list, folder());
        list.appendKeywords({"one", "two"}, 1);
        journal->runStarted(1, 1);
        list.setCount(0, KeywordRow::Google, "5", TCountSource::Answered(1, true, {}));
        crash(journal);

        TKeywordList back;
        journal = openOn(back, folder());
        QVERIFY(journal->pendingRestore()->RunActive);
        ScriptedMessageBox msg;
        msg.answers = {MsgResult::Yes};
        RecordingStatus status;
        int askedFor = -1;
        const TRestoreOutcome outcome =
            OfferJournalRestore(*journal, back, msg, status, [&](int searchType) {
                askedFor = searchType;
                return 5;
            });
        QVERIFY(outcome.Interrupted);
        QCOMPARE(outcome.SearchType, 1);
        QCOMPARE(askedFor, 1);
        QCOMPARE(status.main.last(), QStringLiteral("The list of the last run is back; 5 counts "
                                                    "are missing: Gather Missing Counts "
                                                    "finishes them."));

        // A crash before the missing counts were fetched: still interrupted.
        crash(journal);
        TKeywordList again;
        journal = openOn(again, folder());
        QVERIFY(journal->pendingRestore()->RunActive);
        QCOMPARE(journal->pendingRestore()->RunSearchType, 1);
        QVERIFY(journal->restore());
        // The run finished: nothing interrupted any more.
        journal->runStarted(1, 1);
        journal->runEnded();
        crash(journal);
        TKeywordList done;
        journal = openOn(done, folder());
        QVERIFY(!journal->pendingRestore()->RunActive);
    }

    void normalClose_asksNothing_andReopenLastListBringsItBack()
    {
        TKeywordList list;
        auto journal = openOn(list, folder());
        list.appendKeywords({"kept", QByteArray("bytes \xff\xfe")}, 1);
        list.setCount(1, KeywordRow::Yahoo, "42",
                      TCountSource::Answered(0, true, QDateTime::currentDateTime()));
        journal->closeNormally();
        journal.reset();

        TKeywordList next;
        journal = openOn(next, folder());
        QVERIFY(!journal->pendingRestore());
        QVERIFY(journal->canReopenLast());
        RecordingStatus status;
        QVERIFY(ReopenLastList(*journal, next, status));
        COMPARE_ROWS(next, list);
        QVERIFY(!journal->canReopenLast());
        journal->closeNormally();
        journal.reset();

        // Once this run's list changed, the last one is not offered.
        TKeywordList third;
        journal = openOn(third, folder());
        QVERIFY(journal->canReopenLast());
        third.addRow("mine");
        QVERIFY(!journal->canReopenLast());
        QVERIFY(!ReopenLastList(*journal, third, status));
        QCOMPARE(third.count(), 1);
    }

    void twoCopies_keepTheirOwnJournals()
    {
        TKeywordList first;
        auto running = openOn(first, folder());
        first.appendKeywords({"first copy"}, 1);
        running->flush();

        // A second copy while the first runs: its own file, no question
        // about the running copy's list.
        TKeywordList second;
        auto other = openOn(second, folder());
        QVERIFY(other->isActive());
        QVERIFY(!other->pendingRestore());
        QCOMPARE(other->path(), journalFile(2));
        second.appendKeywords({"second copy", "more"}, 1);
        crash(other);

        // The next copy while the first still runs finds the second's list.
        TKeywordList third;
        other = openOn(third, folder());
        QCOMPARE(other->path(), journalFile(2));
        QVERIFY(other->pendingRestore());
        QVERIFY(other->restore());
        COMPARE_ROWS(third, second);

        // The first copy's journal never saw the others' rows.
        crash(running);
        TKeywordList fourth;
        running = openOn(fourth, folder());
        QCOMPARE(running->path(), journalFile(1));
        QVERIFY(running->restore());
        COMPARE_ROWS(fourth, first);
    }

    void filesAreTheOwnersOnly()
    {
        const mode_t old = ::umask(0);
        TKeywordList list;
        auto journal = openOn(list, folder());
        ::umask(old);
        list.appendKeywords({"private"}, 1);
        journal->flush();
        QCOMPARE(modeOf(folder()), 0700);
        for (const char *suffix : {"", "-wal", "-shm"}) {
            const QString file = journalFile() + QLatin1String(suffix);
            QVERIFY2(QFile::exists(file), qPrintable(file));
            QCOMPARE(modeOf(file), 0600);
        }
    }

    void missingOrReadOnlyFolder_listWorksWithoutJournal_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder cannot be made") << "missing";
        QTest::newRow("read-only folder") << "readonly";
    }
    void missingOrReadOnlyFolder_listWorksWithoutJournal()
    {
        QFETCH(QString, kind);
        QString where;
        if (kind == QStringLiteral("missing")) {
            // A file stands where a parent folder should be.
            QFile blocker(dir->filePath(QStringLiteral("blocker")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            blocker.close();
            where = blocker.fileName() + QStringLiteral("/journal");
        } else {
            where = folder();
            QVERIFY(QDir().mkpath(where));
            QVERIFY(QFile::setPermissions(where, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        TKeywordList list;
        std::unique_ptr<TJournal> journal;
        {
            WithoutOverride asAUser;
            journal = openOn(list, where);
        }
        QFile::setPermissions(where, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ExeOwner);
        QVERIFY(!journal->isActive());
        QVERIFY2(journal->notice().startsWith(QStringLiteral("The list is not being kept on disk")),
                 qPrintable(journal->notice()));
        list.appendKeywords({"still", "works"}, 1);
        list.sortByColumn(KeywordRow::Keywords, true);
        list.deleteAll();
        journal->flush();
        journal->closeNormally();
        QCOMPARE(filesIn(where, QStringLiteral("*.journal*")), QStringList());
    }

    void fullDisk_turnsTheJournalOffOnce()
    {
        TKeywordList list;
        auto journal = openOn(list, folder());
        list.appendKeywords({"before the disk filled"}, 1);
        journal->flush();
        QStringList problems;
        connect(
            journal.get(), &TJournal::problem, this,
            [&](const QString &text) { problems.append(text); }, Qt::QueuedConnection);

        // The file system refuses to let any file grow much further.
        qint64 biggest = 0;
        for (const char *suffix : {"", "-wal", "-shm"})
            biggest = qMax(biggest, QFileInfo(journalFile() + QLatin1String(suffix)).size());
        rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = rlim_t(biggest + 16384);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QList<QByteArray> many;
        for (int i = 0; i < 5000; ++i)
            many.append(QByteArray(200, 'k') + QByteArray::number(i));
        list.appendKeywords(many, 2);
        journal->flush();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QTRY_COMPARE(problems.size(), 1);
        QVERIFY2(problems[0].startsWith(QStringLiteral("The list is not being kept on disk")),
                 qPrintable(problems[0]));
        QVERIFY(!journal->isActive());
        // The list goes on as without a journal, and nothing more is said.
        list.setAllChecked(true);
        list.deleteChecked();
        list.addRow("after");
        journal->flush();
        QTest::qWait(50);
        QCOMPARE(problems.size(), 1);
        QCOMPARE(list.count(), 1);
    }

    void damagedJournal_isSetAsideAndANewOneStarts_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("garbage") << "garbage";
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("future version") << "future";
        QTest::newRow("some other database") << "foreign";
    }
    void damagedJournal_isSetAsideAndANewOneStarts()
    {
        QFETCH(QString, damage);
        QVERIFY(QDir().mkpath(folder()));
        if (damage == QStringLiteral("garbage")) {
            QFile f(journalFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            QByteArray noise(8192, '\0');
            for (int i = 0; i < noise.size(); ++i)
                noise[i] = char((i * 7919 + 13) & 0xff);
            f.write(noise);
        } else if (damage == QStringLiteral("truncated")) {
            crashedRunWithRows(3000);
            QFile f(journalFile());
            QVERIFY(f.resize(f.size() * 2 / 5));
        } else if (damage == QStringLiteral("future")) {
            crashedRunWithRows(3);
            runSql(journalFile(), "PRAGMA user_version=7");
        } else {
            runSql(journalFile(), "CREATE TABLE x(a); INSERT INTO x VALUES(1);");
        }
        QFile original(journalFile());
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        original.close();

        TKeywordList list;
        auto journal = openOn(list, folder());
        // A cut that spares the row count shows when the rows are read.
        if (journal->pendingRestore())
            QVERIFY(!journal->restore());
        QCOMPARE(list.count(), 0);
        QVERIFY(journal->isActive());
        QVERIFY2(journal->notice().contains(QStringLiteral("set aside")),
                 qPrintable(journal->notice()));
        const QStringList aside = filesIn(folder(), QStringLiteral("list.damaged-*.journal"));
        QCOMPARE(aside.size(), 1);
        QFile kept(folder() + QLatin1Char('/') + aside[0]);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bytes);
        // The new journal keeps this run's list.
        list.addRow("fresh");
        crash(journal);
        TKeywordList back;
        journal = openOn(back, folder());
        QVERIFY(journal->restore());
        COMPARE_ROWS(back, list);
    }

    void journalLockedByAnotherProgram_isLeftAlone()
    {
        crashedRunWithRows(4);
        QFile original(journalFile());
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        original.close();

        QProcess holder;
        holder.start(QStringLiteral(JOURNAL_CHILD), {QStringLiteral("hold"), journalFile()});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        TKeywordList list;
        auto journal = openOn(list, folder());
        QVERIFY(!journal->isActive());
        QVERIFY(!journal->pendingRestore());
        QVERIFY2(journal->notice().contains(QStringLiteral("in use by another program")),
                 qPrintable(journal->notice()));
        list.addRow("works anyway");
        journal->closeNormally();
        journal.reset();
        holder.kill();
        holder.waitForFinished();

        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), bytes);
        original.close();
        TKeywordList back;
        journal = openOn(back, folder());
        QVERIFY(journal->pendingRestore());
        QCOMPARE(journal->pendingRestore()->Rows, qint64(4));
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "test_journal.moc"
