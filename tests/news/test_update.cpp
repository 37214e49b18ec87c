// The update check as the user meets it: the Check Updates button and the
// silent check at start-up, against the emulator's live-update folder.

#include "NewsTestSupport.h"

#include "news/NewsClient.h"
#include "news/StartupCheck.h"
#include "news/UpdateCheck.h"
#include "platform/PrivateFolder.h"

#include "platform/Platform.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QToolButton>
#include <clocale>

namespace {
const QString NoUpdates = QStringLiteral("There's no new updates for this application!");
const QString Missing =
    QStringLiteral("The updater module is missing. Please reinstall again the current version!");
const QString CloseQuestion = QStringLiteral(
    "To update your software the application will close to\n\rreplace some files. Do you want "
    "to update now?");
QString Offer(const QString &version)
{
    return QStringLiteral("There is a new update: (version ") + version +
           QStringLiteral(") available for your application!. Do you want download this update "
                          "now?");
}
} // namespace

class TestUpdate : public QObject, NewsFixture
{
    Q_OBJECT

    // The local copy lies in the user's private folder, never beside the
    // program.
    QString localCopy() const { return UpdateDescriptionCopyPath(); }
    QString besideProgram() const { return programFolder() + QStringLiteral("mainappupdate.inf"); }
    QString argsFile() const { return programFolder() + QStringLiteral("updater-args.txt"); }
    void clickUpdate() { QTest::mouseClick(w->btnUpdate, Qt::LeftButton); }
    std::vector<sandbox::RecordedRequest> updateRequests() const
    {
        return RequestsUnder(box, "/liveupdate/");
    }

private slots:
    void initTestCase()
    {
        UseOwnPrivateRunFolder();
        QVERIFY(box.start());
    }

    void init()
    {
        SetNewsTimeoutMs(0);
        QFile::remove(localCopy());
        box.clearFaults();
        box.clearRequests();
        box.clearUpdateDescription();
        box.setPublishedVersion("2.01");
        newFolder();
        QVERIFY(openWindow());
    }

    void cleanup() { closeWindow(); }

    void versions_data()
    {
        QTest::addColumn<QByteArray>("published");
        QTest::addColumn<bool>("offered");
        QTest::newRow("same") << QByteArray("2.01") << false;
        QTest::newRow("next") << QByteArray("2.02") << true;
        QTest::newRow("shorter, larger") << QByteArray("2.1") << true;
        QTest::newRow("two digits") << QByteArray("10.0") << true;
        QTest::newRow("trailing zero is equal") << QByteArray("2.010") << false;
        QTest::newRow("older") << QByteArray("1.99") << false;
        QTest::newRow("not a number") << QByteArray("abc") << false;
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("comma is no point") << QByteArray("2,5") << false;
        QTest::newRow("exponent") << QByteArray("1e9") << false;
        QTest::newRow("infinity") << QByteArray("inf") << false;
    }
    void versions()
    {
        QFETCH(QByteArray, published);
        QFETCH(bool, offered);
        box.setPublishedVersion(published.toStdString());
        // A locale with a decimal comma must not change how versions read.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        msg.answers = {MsgResult::Cancel};
        clickUpdate();
        QLocale::setDefault(QLocale::c());

        const auto requests = updateRequests();
        QCOMPARE(requests.size(), size_t(1));
        QCOMPARE(requests[0].method, std::string("GET"));
        QCOMPARE(requests[0].path, std::string("/liveupdate/tarnwick/mainappupdate.inf"));
        QCOMPARE(msg.shown.size(), 1);
        if (offered) {
            QCOMPARE(msg.shown[0].text, Offer(QString::fromLatin1(published)));
            QCOMPARE(msg.shown[0].buttons, MsgButtons::OkCancel);
        } else {
            QCOMPARE(msg.shown[0].text, NoUpdates);
            QCOMPARE(msg.shown[0].buttons, MsgButtons::Ok);
        }
        QCOMPARE(msg.shown[0].type, MsgType::Information);
        // The downloaded description stays in the private folder, Cancel or
        // not, and nothing lands beside the program.
        QVERIFY(QFile::exists(localCopy()));
        QVERIFY(!QFile::exists(besideProgram()));
        QVERIFY(w->isVisible());
    }

    // Numbers read the same under a C library locale with a decimal comma.
    void versions_underCLibraryDecimalComma_data() { versions_data(); }
    void versions_underCLibraryDecimalComma()
    {
        const QByteArray before = setlocale(LC_ALL, nullptr);
        if (!setlocale(LC_ALL, "de_DE.UTF-8") && !setlocale(LC_ALL, "de_DE.utf8"))
            QSKIP("the de_DE.UTF-8 locale is not installed (scripts/install-deps.sh makes it)");
        auto restore = qScopeGuard([&] { setlocale(LC_ALL, before.constData()); });
        QCOMPARE(QByteArray(localeconv()->decimal_point), QByteArray(","));
        versions();
    }

    void descriptionSpelling_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("offered"); // empty: no update
        QTest::newRow("other letter cases")
            << QByteArray("[application]\r\nNAME=Tarnwick\r\nvErSiOn=2.5\r\n") << "2.5";
        QTest::newRow("blanks and comments")
            << QByteArray("; vendor file\n[APPLICATION]\n  Version = 3.00 \n") << "3.00";
        QTest::newRow("other section only") << QByteArray("[Other]\nVersion=9.0\n") << "";
        QTest::newRow("first of two keys wins")
            << QByteArray("[APPLICATION]\nVersion=2.01\nVersion=9.0\n") << "";
        // A line longer than the INI reader's buffer must not have its tail
        // read as a key of its own.
        QTest::newRow("long line hides no key")
            << QByteArray("[APPLICATION]\nName=" + QByteArray(250, 'x') + "Version=9.0\n") << "";
        QTest::newRow("long line, then the version")
            << QByteArray("[APPLICATION]\nName=" + QByteArray(400, 'x') + "\nVersion=2.3\n")
            << "2.3";
        QTest::newRow("no line end") << QByteArray("[APPLICATION]\nVersion=4") << "4";
    }
    void descriptionSpelling()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, offered);
        box.setUpdateDescription(ini.toStdString());
        msg.answers = {MsgResult::Cancel};
        clickUpdate();
        QCOMPARE(msg.texts(), QStringList{offered.isEmpty() ? NoUpdates : Offer(offered)});
    }

    void failedDownload_data()
    {
        QTest::addColumn<int>("status"); // 0: the service is unreachable
        QTest::newRow("404") << 404;
        QTest::newRow("500") << 500;
        QTest::newRow("unreachable") << 0;
    }
    void failedDownload()
    {
        QFETCH(int, status);
        // An older copy must not be mistaken for this run's answer.
        WriteAll(localCopy(), "[APPLICATION]\nVersion=9.0\n");
        sandbox::Fault fault;
        fault.pathPrefix = "/liveupdate/";
        fault.status = status;
        if (status) {
            box.addFault(fault);
        } else {
            // A port nobody listens on once its emulator is gone.
            sandbox::Sandbox gone;
            QVERIFY(gone.start());
            gone.stop();
            w.reset();
            w = OpenMainWindow(SandboxEndpoints(gone), programFolder(), msg);
            QVERIFY(w);
        }
        clickUpdate();
        QCOMPARE(msg.texts(), QStringList{NoUpdates});
        QVERIFY(!QFile::exists(localCopy()));

        // The start-up form says nothing about it.
        msg.clear();
        w->CheckForUpdates(true);
        QVERIFY(msg.texts().isEmpty());
    }

    void silentCheck_speaksOnlyForNewer()
    {
        w->CheckForUpdates(true);
        QVERIFY(msg.texts().isEmpty());
        QCOMPARE(updateRequests().size(), size_t(1));

        box.setPublishedVersion("2.02");
        msg.answers = {MsgResult::Cancel};
        w->CheckForUpdates(true);
        QCOMPARE(msg.texts(), QStringList{Offer(QStringLiteral("2.02"))});
    }

    void readOnlyProgramFolder_stillFindsTheUpdate()
    {
        box.setPublishedVersion("3.0");
        QFile::Permissions was = QFile::permissions(folder->path());
        QVERIFY(QFile::setPermissions(folder->path(), QFile::ReadOwner | QFile::ExeOwner));
        auto restore = qScopeGuard([&] { QFile::setPermissions(folder->path(), was); });
        msg.answers = {MsgResult::Cancel};
        clickUpdate();
        QCOMPARE(msg.texts(), QStringList{Offer(QStringLiteral("3.0"))});
        QVERIFY(QFile::exists(localCopy()));
        QVERIFY(!QFile::exists(besideProgram()));
    }

    void copyCannotBeMade_startsNothing()
    {
        box.setPublishedVersion("3.0");
        WriteRecordingUpdater(programFolder(), argsFile());
        // A directory in the copy's place cannot be replaced.
        QVERIFY(QDir().mkpath(localCopy()));
        auto removeIt = qScopeGuard([&] { QDir(localCopy()).removeRecursively(); });
        clickUpdate();
        QCOMPARE(msg.texts(), QStringList{NoUpdates});
        QTest::qWait(200);
        QVERIFY(!QFile::exists(argsFile()));
        QVERIFY(w->isVisible());
    }

    void privateFolder_isTheUsersOwn()
    {
        const QString folderPath = PrivateRunFolder();
        QVERIFY(!folderPath.isEmpty());
        QVERIFY(!folderPath.startsWith(programFolder()));
        QCOMPARE(QFileInfo(folderPath).permissions() &
                     (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                      QFile::WriteOther | QFile::ExeOther),
                 QFile::Permissions());
        QCOMPARE(QFileInfo(localCopy()).absolutePath() + QLatin1Char('/'),
                 QFileInfo(folderPath).absoluteFilePath() +
                     (folderPath.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")));
    }

    // The program's own addresses name no live-update host this project
    // does not control: a build names one only when it is configured so.
    void builtInAddresses_noForeignLiveUpdateHost()
    {
        const QByteArray base = Endpoints::BuiltIn().LiveUpdate;
        QVERIFY2(!base.contains("www.tarnwick.com"), base.constData());
        if (!base.isEmpty())
            QVERIFY(base.endsWith("/liveupdate/tarnwick/"));
    }

    void noLiveUpdateHost_asksNobody()
    {
        Endpoints urls = SandboxEndpoints(box);
        urls.LiveUpdate.clear();
        w.reset();
        w = OpenMainWindow(urls, programFolder(), msg);
        QVERIFY(w);
        box.setPublishedVersion("9.0");
        clickUpdate();
        QCOMPARE(msg.texts(), QStringList{NoUpdates});
        w->CheckForUpdates(true);
        QCOMPARE(msg.texts(), QStringList{NoUpdates});
        QVERIFY(box.requests().empty());
    }

    void updater_data()
    {
        QTest::addColumn<QString>("updater"); // "", "blocked", "recording"
        QTest::addColumn<QList<MsgResult>>("answers");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("started");
        const QString offer = Offer(QStringLiteral("2.02"));
        QTest::newRow("missing") << "" << QList<MsgResult>{MsgResult::Ok}
                                 << QStringList{offer, Missing} << false;
        QTest::newRow("cannot start") << "blocked" << QList<MsgResult>{MsgResult::Ok, MsgResult::Ok}
                                      << QStringList{offer, CloseQuestion, Missing} << false;
        QTest::newRow("cancel at the second question")
            << "recording" << QList<MsgResult>{MsgResult::Ok, MsgResult::Cancel}
            << QStringList{offer, CloseQuestion} << false;
        QTest::newRow("ok twice") << "recording" << QList<MsgResult>{MsgResult::Ok, MsgResult::Ok}
                                  << QStringList{offer, CloseQuestion} << true;
    }
    void updater()
    {
        QFETCH(QString, updater);
        QFETCH(QList<MsgResult>, answers);
        QFETCH(QStringList, expected);
        QFETCH(bool, started);
        box.setPublishedVersion("2.02");
        if (updater == QLatin1String("recording"))
            WriteRecordingUpdater(programFolder(), argsFile());
        else if (updater == QLatin1String("blocked"))
            WriteAll(programFolder() + QStringLiteral("Updater.exe"), "#!/bin/sh\n", false);
        msg.answers = answers;
        // The updater is started owned by the main window.
        const quintptr window = quintptr(w->winId());
        QList<quintptr> owners;
        platform::SetStartProgramObserver(
            [&](const QString &, const QStringList &, quintptr owner) { owners.append(owner); });
        auto unwatch = qScopeGuard([] { platform::SetStartProgramObserver({}); });
        clickUpdate();

        QCOMPARE(msg.texts(), expected);
        if (updater == QLatin1String("blocked") || started)
            QCOMPARE(owners, QList<quintptr>{window});
        else
            QVERIFY(owners.isEmpty());
        if (expected.size() > 1 && expected.last() == Missing)
            QCOMPARE(msg.shown.last().type, MsgType::Warning);
        QCOMPARE(w->isVisible(), !started);
        if (!started) {
            QTest::qWait(200);
            QVERIFY(!QFile::exists(argsFile()));
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(ReadAll(argsFile()).endsWith('\n'), 5000);
        const QByteArray base = Bytes(box.liveUpdateBase());
        QCOMPARE(ReadAll(argsFile()), "3\n" + base + "\n2.01\nA\n");
    }

    // A Stop ends the run it stopped: Check Updates afterwards still asks.
    void afterAStoppedGather_checkUpdatesStillAsks()
    {
        box.setPublishedVersion("5.0");
        StopAGatherDataRun(*this);
        QVERIFY(w->StopRequested);
        box.clearRequests();
        msg.clear();
        msg.answers = {MsgResult::Cancel};
        clickUpdate();
        QCOMPARE(msg.texts(), QStringList{Offer(QStringLiteral("5.0"))});
        QCOMPARE(updateRequests().size(), size_t(1));
    }

    // The start-up check is no user's start: a flag set by the window's close
    // keeps its download from going out at all.
    void stopFlagSet_sendsNothing()
    {
        box.setPublishedVersion("5.0");
        WriteAll(localCopy(), "[APPLICATION]\nVersion=9.0\n");
        w->StopRequested = true;
        w->CheckForUpdates(true);
        QVERIFY(msg.texts().isEmpty());
        QVERIFY(updateRequests().empty());
        QVERIFY(!QFile::exists(localCopy()));
    }

    void stalledService_endsAfterItsTimeOut()
    {
        if (!ClientHonoursTimeOut(box))
            QSKIP("the HTTP client does not honour timeoutMs yet");
        SetNewsTimeoutMs(400);
        slowDown("/liveupdate/", 20000, 1);
        box.setPublishedVersion("5.0");
        clickUpdate();
        QCOMPARE(msg.texts(), QStringList{NoUpdates});
        QVERIFY(!QFile::exists(localCopy()));
        // The guard is free again: the next check goes through.
        msg.clear();
        msg.answers = {MsgResult::Cancel};
        clickUpdate();
        QCOMPARE(msg.texts(), QStringList{Offer(QStringLiteral("5.0"))});
    }

    void slowService_windowKeepsServingEvents()
    {
        slowDown("/liveupdate/", 1200);
        EventGapProbe probe;
        probe.start();
        clickUpdate();
        const qint64 worst = probe.stop();
        qInfo("worst gap between 10 ms timer ticks while the update check waited 1.2 s: %lld ms",
              worst);
        QCOMPARE(msg.texts(), QStringList{NoUpdates});
        QVERIFY2(worst < 500, "the window stopped serving events while the check waited");
    }

    void secondClickWhileWaiting_isRefused()
    {
        slowDown("/liveupdate/", 600, 1);
        QString status;
        QTimer::singleShot(150, w.get(), [&] {
            clickUpdate();
            status = w->MainStatusPanel->text();
        });
        clickUpdate();
        QCOMPARE(updateRequests().size(), size_t(1));
        QCOMPARE(msg.texts(), QStringList{NoUpdates});
        // The refused click says why.
        QCOMPARE(status, QLatin1String(RefusedWhileBusyText));
    }
};

QTEST_MAIN(TestUpdate)
#include "test_update.moc"
