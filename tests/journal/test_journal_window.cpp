// The journal through the real main window: the restore question waits for
// the welcome page, Reopen Last List in the list's menu after a normal
// close, and a journal that cannot be kept is told in the status bar.

#include "JournalTestSupport.h"
#include "app/FMain.h"
#include "base/FOptions.h"
#include "base/UserOptions.h"
#include "journal/Journal.h"
#include "settings/SettingsCipher.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessageBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

class TestJournalWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    ScriptedMessageBox msg;

    QString programFolder() const { return dir->path() + QStringLiteral("/program/"); }
    QString journalFolder() const { return dir->path() + QStringLiteral("/journal"); }

    std::unique_ptr<TfrmMain> open(const QString &journal)
    {
        auto w = std::make_unique<TfrmMain>(Endpoints{}, programFolder());
        w->Timer1->stop();
        w->SetMessageBox(&msg);
        w->StartJournal(journal);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            return nullptr;
        // The question comes from the event loop once the window shows.
        QTest::qWait(20);
        return w;
    }
    static void fill(TKeywordList &list)
    {
        list.appendKeywords({"golf clubs", QByteArray("caf\xe9"), "tees"}, 1);
        list.setCount(
            1, KeywordRow::Google, "12,345",
            TCountSource::Answered(1, true, QDateTime::fromMSecsSinceEpoch(1765280000123)));
        list.setChecked(2, true);
        list.sortByColumn(KeywordRow::Keywords, true);
    }
    bool reopenEnabled(TfrmMain &w)
    {
        w.lvwItemsContextPopup(QPoint(5, 5));
        const bool enabled = w.actReopenLast->isEnabled();
        w.mnuItems->hide();
        return enabled;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QVERIFY(QDir().mkpath(programFolder()));
        msg.clear();
    }

    void normalClose_nothingAsked_reopenLastListFromTheMenu()
    {
        auto w = open(journalFolder());
        QVERIFY(w);
        QVERIFY(!reopenEnabled(*w));
        fill(*w->Items());
        TKeywordList before;
        fill(before);
        w->close();
        w.reset();

        w = open(journalFolder());
        QVERIFY(w);
        QCOMPARE(msg.shown.size(), 0);
        QCOMPARE(w->Items()->count(), 0);
        QVERIFY(reopenEnabled(*w));
        w->actReopenLast->trigger();
        COMPARE_ROWS(*w->Items(), before);
        QCOMPARE(w->SecondStatusPanel->text(), ItemsListedText(3));
        QVERIFY(!reopenEnabled(*w));
        w->close();
        w.reset();

        // A list changed first keeps the last one out of reach.
        w = open(journalFolder());
        QVERIFY(w);
        w->Items()->addRow("my own");
        QVERIFY(!reopenEnabled(*w));
    }

    void restoreQuestion_comesAfterTheWelcomePage()
    {
        auto w = open(journalFolder());
        QVERIFY(w);
        fill(*w->Items());
        w->Journal()->flush();
        w.reset(); // gone without a normal close

        // A reseller's welcome page: the question waits for Thanks.
        QTemporaryDir plainDir;
        QFile plain(plainDir.filePath(QStringLiteral("plain.txt")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.write("Settings\r\n<%%ApplicationName%%>Demo<%%/ApplicationName%%>\r\n"
                    "<%%Welcome1%%><p>Hello</p><%%/Welcome1%%>\r\n");
        plain.close();
        QVERIFY(EncryptSettingsFile(plain.fileName(), programFolder() + "dbsettings.dat"));
        msg.answers = {MsgResult::Yes};
        w = open(journalFolder());
        QVERIFY(w);
        QCOMPARE(w->pgcPrinc->currentWidget(), w->stsWelcome);
        QCOMPARE(msg.shown.size(), 0);
        QTest::mouseClick(w->btnThanks, Qt::LeftButton);
        w->Timer1->stop();
        QCOMPARE(msg.shown.size(), 1);
        QVERIFY(msg.shown[0].text.startsWith(
            QStringLiteral("Restore the list of the last run (3 keywords, last change ")));
        TKeywordList before;
        fill(before);
        COMPARE_ROWS(*w->Items(), before);
        QCOMPARE(w->MainStatusPanel->text(), QStringLiteral("The list of the last run is back."));
    }

    void optionsSwitch_turnsTheJournalOff()
    {
        SetUserSettingsFile(dir->filePath(QStringLiteral("user.ini")));
        auto restoreSettings = qScopeGuard([] { SetUserSettingsFile({}); });
        QVERIFY(JournalEnabledSetting());
        auto w = open(journalFolder());
        QVERIFY(w);
        fill(*w->Items());
        ModalScript script;
        script.then([](QDialog &d) {
            auto *keep = d.findChild<QCheckBox *>(QStringLiteral("chkKeepList"));
            QVERIFY(keep && keep->isChecked());
            keep->setChecked(false);
            QTest::mouseClick(static_cast<TfrmOptions &>(d).btnOk, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnOptions, Qt::LeftButton);
        QVERIFY(script.steps.isEmpty());
        QVERIFY(!JournalEnabledSetting());
        QCOMPARE(w->MainStatusPanel->text(), QStringLiteral("The list is no longer kept on disk."));
        // Off now: later changes are not kept, and what was kept is not
        // offered as a crashed run's list.
        w->Items()->addRow("not kept");
        w.reset();
        TKeywordList list;
        TJournal journal;
        journal.attach(list);
        QVERIFY(journal.open(journalFolder()));
        QVERIFY(!journal.pendingRestore());
        QVERIFY(journal.reopenLast());
        QCOMPARE(list.count(), 3);
    }

    void journalThatCannotBeKept_isToldInTheStatusBar()
    {
        QFile blocker(dir->filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        auto w = open(blocker.fileName() + QStringLiteral("/journal"));
        QVERIFY(w);
        QTRY_VERIFY(w->MainStatusPanel->text().startsWith(
            QStringLiteral("The list is not being kept on disk")));
        QCOMPARE(msg.shown.size(), 0);
        fill(*w->Items());
        QCOMPARE(w->Items()->count(), 3);
        w->close();
    }
};

QTEST_MAIN(TestJournalWindow)
#include "test_journal_window.moc"
