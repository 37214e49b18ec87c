// Pacing, the Options window and the run's progress through the real main
// window against the in-process emulator. Most runs wait on a fake clock;
// one keeps a real one-second delay; stops and closes cut real waits.

#include "app/TApplication.h"
#include "base/FOptions.h"
#include "base/FRunProgress.h"
#include "base/PacedFetch.h"
#include "base/UserOptions.h"
#include "stats/StatsTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

// A machine without a secret store, as this one.
class NoSecretStore : public ISecretStore
{
public:
    TResult Read(const QString &, QString &) override { return TResult::Unavailable; }
    TResult Write(const QString &, const QString &) override { return TResult::Unavailable; }
    TResult Remove(const QString &) override { return TResult::Unavailable; }
};

struct Sent
{
    qint64 at; // on the fake clock
    QString status;
};

} // namespace

class TestPacing : public QObject, MainWindowFixture
{
    Q_OBJECT

    QTemporaryDir m_settings;
    qint64 m_now = 0;
    QList<qint64> m_waits;
    QList<bool> m_retryWaits;
    QList<Sent> m_sent;

    // Pacing on a fake clock: every wait is recorded and passes at once.
    void fakePacing(const TPacingOptions &options, TPacer::Random random = {})
    {
        w->Pacing().Pacer = TPacer(
            options, [this] { return m_now; }, std::move(random));
        w->Pacing().Wait = [this](qint64 ms, bool retry) {
            m_waits.append(ms);
            m_retryWaits.append(retry);
            m_now += ms;
            return !w->StopRequested;
        };
    }
    // Each request as it goes out, with the fake time.
    void recordRequests(std::function<void(int)> atRequest = {})
    {
        connect(w->IdHTTP1, &THttpClient::statusText, w.get(), [this, atRequest](const QString &t) {
            if (!t.startsWith(QStringLiteral("Getting URL: ")))
                return;
            m_sent.append({m_now, t});
            if (atRequest)
                atRequest(int(m_sent.size()));
        });
    }
    QStringList paths() const
    {
        QStringList out;
        for (const sandbox::RecordedRequest &r : box.requests())
            out.append(QString::fromStdString(r.path.substr(0, r.path.find('/', 1))));
        return out;
    }
    void verifyRowGathered(int row, int searchType)
    {
        const QByteArray keyword = text(row, KeywordRow::Keywords);
        for (int e = 0; e < 3; ++e)
            QCOMPARE(text(row, KeywordRow::Google + e),
                     ExpectedCount(EngineNames[e], keyword, searchType));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_settings.isValid());
        QVERIFY(startBox());
    }
    void init()
    {
        // Every test starts from no saved options.
        const QString file = m_settings.filePath(QStringLiteral("user.ini"));
        QFile::remove(file);
        SetUserSettingsFile(file);
        m_now = 1000000;
        m_waits.clear();
        m_retryWaits.clear();
        m_sent.clear();
        QVERIFY(freshWindow());
        w->OptionsStore().SetSecretStore(std::make_unique<NoSecretStore>());
    }
    void cleanup() { w.reset(); }
    void cleanupTestCase() { SetUserSettingsFile({}); }

    void defaults_offSendsBackToBack()
    {
        QVERIFY(w->Pacing().Pacer.Options().IsOff());
        QCOMPARE(w->IdHTTP1->Options(), TNetworkOptions());
        fakePacing(w->Pacing().Pacer.Options());
        addRows({"a", "b"});
        gather(0);
        QVERIFY(m_waits.isEmpty());
        QCOMPARE(box.requests().size(), size_t(6));
        verifyRowGathered(1, 0);
    }

    void pacedRun_orderAndSpacingOnFakeClock()
    {
        int calls = 0;
        fakePacing({3000, 5000, 4, 60000, 0, 10000, 300000},
                   [&calls](qint64 lo, qint64 hi) { return ++calls % 2 ? lo : hi; });
        recordRequests();
        addRows({"golf", "golf clubs"});
        gather(1);
        QCOMPARE(paths(), (QStringList{"/google", "/yahoo", "/msn", "/google", "/yahoo", "/msn"}));
        // Jitter between each two, and the pause after the fourth.
        QCOMPARE(m_waits, (QList<qint64>{3000, 5000, 3000, 60000, 3000}));
        QList<qint64> gaps;
        for (int i = 1; i < m_sent.size(); ++i)
            gaps.append(m_sent[i].at - m_sent[i - 1].at);
        QCOMPARE(gaps, m_waits);
        verifyRowGathered(0, 1);
        verifyRowGathered(1, 1);
        // The Part's own texts are still the last word.
        QCOMPARE(w->MainStatusPanel->text(), QStringLiteral("Process completed sucessfull!"));
    }

    void retry_resendsTheQueryAfterBackoff()
    {
        sandbox::Fault busy;
        busy.pathPrefix = "/yahoo";
        busy.status = 503;
        busy.times = 2;
        box.addFault(busy);
        fakePacing({0, 0, 0, 0, 3, 10000, 300000});
        addRows({"golf"});
        gather(0);
        QCOMPARE(paths(), (QStringList{"/google", "/yahoo", "/yahoo", "/yahoo", "/msn"}));
        QCOMPARE(m_waits, (QList<qint64>{10000, 20000}));
        QCOMPARE(m_retryWaits, (QList<bool>{true, true}));
        verifyRowGathered(0, 0);
        QCOMPARE(w->RunProgressPanel->Progress().Sent(), 5);
        QCOMPARE(w->RunProgressPanel->Progress().Failed(), 2);
    }

    void retry_givesUpAfterKAndTheRunGoesOn()
    {
        sandbox::Fault down;
        down.pathPrefix = "/yahoo";
        down.status = 503;
        box.addFault(down);
        fakePacing({0, 0, 0, 0, 2, 10000, 15000});
        addRows({"a", "b"});
        list().setText(0, KeywordRow::Yahoo, "old");
        gather(0);
        QCOMPARE(paths(), (QStringList{"/google", "/yahoo", "/yahoo", "/yahoo", "/msn", "/google",
                                       "/yahoo", "/yahoo", "/yahoo", "/msn"}));
        // Doubling, capped; the second query starts afresh.
        QCOMPARE(m_waits, (QList<qint64>{10000, 15000, 10000, 15000}));
        QCOMPARE(text(0, KeywordRow::Yahoo), QByteArray("old"));
        QCOMPARE(list().row(0).source(KeywordRow::Yahoo).What, TCountSource::Kind::Failed);
        QCOMPARE(list().row(1).source(KeywordRow::Yahoo).What, TCountSource::Kind::Failed);
        for (int row : {0, 1}) {
            QCOMPARE(text(row, KeywordRow::Google),
                     ExpectedCount("google", text(row, KeywordRow::Keywords), 0));
            QCOMPARE(text(row, KeywordRow::Msn),
                     ExpectedCount("msn", text(row, KeywordRow::Keywords), 0));
        }
        QCOMPARE(w->RunProgressPanel->Progress().Sent(), 10);
        QCOMPARE(w->RunProgressPanel->Progress().Failed(), 6);
    }

    void securityImage_onAnEngine_isARefusal()
    {
        // An engine that answers with the security image page.
        box.setChallengeMode(sandbox::ChallengeMode::Always);
        auto restore = qScopeGuard([this] { box.setChallengeMode(sandbox::ChallengeMode::Never); });
        Endpoints urls = SandboxEndpoints(box);
        urls.Google = Bytes(box.suggestBase()) + "/keyword-suggestion-tool.html#";
        for (bool paced : {false, true}) {
            box.clearRequests();
            m_waits.clear();
            w = OpenMainWindow(urls, folder.path() + QLatin1Char('/'), msg, false);
            QVERIFY(w);
            fakePacing(paced ? TPacingOptions{0, 0, 0, 0, 1, 10000, 300000} : TPacingOptions{});
            addRows({"golf"});
            gather(0);
            const TCountSource google = list().row(0).source(KeywordRow::Google);
            if (!paced) {
                // Without pacing the page is read as any other: no count on it.
                QCOMPARE(paths(), (QStringList{"/wt", "/yahoo", "/msn"}));
                QCOMPARE(google.What, TCountSource::Kind::NoCount);
                continue;
            }
            QCOMPARE(paths(), (QStringList{"/wt", "/wt", "/yahoo", "/msn"}));
            QCOMPARE(m_waits, (QList<qint64>{10000}));
            QCOMPARE(google.What, TCountSource::Kind::Failed);
            QCOMPARE(google.Reason, QStringLiteral("asked for the security image"));
            QCOMPARE(text(0, KeywordRow::Yahoo), ExpectedCount("yahoo", "golf", 0));
        }
    }

    void gatherKeywords_isPacedToo()
    {
        fakePacing({2000, 2000, 0, 0, 0, 10000, 300000});
        w->MainKeyword = "golf";
        QTest::mouseClick(w->btnGatherKeyword, Qt::LeftButton);
        const int listed = list().count();
        QVERIFY(listed > 0);
        QVERIFY(m_waits.isEmpty());
        QTest::mouseClick(w->btnGatherKeyword, Qt::LeftButton);
        QCOMPARE(m_waits, (QList<qint64>{2000}));
        QCOMPARE(box.requests().size(), size_t(2));
        QCOMPARE(list().count(), 2 * listed);
    }

    void stop_duringAPause_endsItAtOnce_data()
    {
        QTest::addColumn<bool>("backoff");
        QTest::addColumn<QString>("countdown");
        QTest::newRow("between requests")
            << false << QStringLiteral("Waiting 60 s before the next request...");
        QTest::newRow("before a retry")
            << true << QStringLiteral("Waiting 60 s before trying again...");
    }
    void stop_duringAPause_endsItAtOnce()
    {
        QFETCH(bool, backoff);
        QFETCH(QString, countdown);
        TPacingOptions slow;
        if (backoff) {
            sandbox::Fault busy;
            busy.pathPrefix = "/google";
            busy.status = 503;
            box.addFault(busy);
            slow.Retries = 3;
            slow.BackoffStartMs = 60000;
        } else {
            slow.MinDelayMs = slow.MaxDelayMs = 60000;
        }
        w->Pacing().Pacer.SetOptions(slow);
        addRows({"a", "b"});
        QString shown;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            const QString t = w->MainStatusPanel->text();
            if (shown.isEmpty() && t.startsWith(QStringLiteral("Waiting"))) {
                shown = t;
                QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
            }
        });
        poll.start(5);
        // A stop that did not cut the wait would let this fire first.
        bool waitedOut = false;
        QTimer::singleShot(30000, this, [&] { waitedOut = true; });
        gather(0);
        QCOMPARE(shown, countdown);
        QVERIFY(!waitedOut);
        QCOMPARE(box.requests().size(), size_t(1));
        QCOMPARE(w->MainStatusPanel->text(), QStringLiteral("Process aborted!"));
        if (!backoff)
            QCOMPARE(text(0, KeywordRow::Google), ExpectedCount("google", "a", 0));
        // A stopped query is no answer either way: the cell keeps what it knew.
        QCOMPARE(list().row(0).source(backoff ? KeywordRow::Google : KeywordRow::Yahoo).What,
                 TCountSource::Kind::NeverAsked);
        QCOMPARE(w->btnGatherData->text(), QStringLiteral("Gather Data"));
        QVERIFY(!w->RunState.Busy);
        QVERIFY(!w->RunProgressPanel->isVisible());
    }

    void closeWindow_duringAPause_endsTheRunCleanly()
    {
        TPacingOptions slow;
        slow.MinDelayMs = slow.MaxDelayMs = 60000;
        w->Pacing().Pacer.SetOptions(slow);
        addRows({"a", "b"});
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (w->isVisible() && w->MainStatusPanel->text().startsWith(QStringLiteral("Waiting")))
                w->close();
        });
        poll.start(5);
        bool waitedOut = false;
        QTimer::singleShot(30000, this, [&] { waitedOut = true; });
        gather(0);
        QVERIFY(!waitedOut);
        QVERIFY(!w->isVisible());
        QVERIFY(w->StopRequested);
        QCOMPARE(box.requests().size(), size_t(1));
        QCOMPARE(text(0, KeywordRow::Google), ExpectedCount("google", "a", 0));
        QVERIFY(!w->RunState.Busy);
    }

    void realTime_oneSecondMinimumBetweenRequestsToAHost()
    {
        TPacingOptions second;
        second.MinDelayMs = second.MaxDelayMs = 1000;
        w->Pacing().Pacer.SetOptions(second);
        // When each request reached the emulator, seen from here no sooner
        // than it did, and when each request had ended, seen no later.
        QElapsedTimer clock;
        clock.start();
        QList<qint64> arrivals, ends;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            while (size_t(arrivals.size()) < box.requests().size())
                arrivals.append(clock.elapsed());
        });
        poll.start(1);
        connect(w->IdHTTP1, &THttpClient::statusText, this, [&](const QString &t) {
            if (t == QStringLiteral("Process completed sucessfull!"))
                ends.append(clock.elapsed());
        });
        addRows({"golf"});
        gather(0);
        poll.stop();
        QCOMPARE(arrivals.size(), 3);
        QCOMPARE(ends.size(), 3);
        for (int i = 1; i < arrivals.size(); ++i)
            QVERIFY2(arrivals[i] - ends[i - 1] >= 1000,
                     qPrintable(QStringLiteral("request %1 came %2 ms after the one before ended")
                                    .arg(i + 1)
                                    .arg(arrivals[i] - ends[i - 1])));
        verifyRowGathered(0, 0);
    }

    void runProgress_textsThroughTheRun()
    {
        sandbox::Fault missing;
        missing.pathPrefix = "/msn";
        missing.status = 404;
        missing.times = 1;
        box.addFault(missing);
        QStringList seen;
        QList<bool> visible;
        recordRequests([&](int) {
            seen.append(w->RunProgressPanel->text());
            visible.append(w->RunProgressPanel->isVisible());
        });
        addRows({"a", "b", "c"});
        QVERIFY(!w->RunProgressPanel->isVisible());
        gather(0);
        QCOMPARE(seen.size(), 9);
        QCOMPARE(visible, QList<bool>(9, true));
        const QString dot = QStringLiteral(" \u00b7 ");
        QCOMPARE(seen[0], QStringLiteral("Row 1 of 3") + dot + "0 sent" + dot + "0 failed" + dot +
                              "estimating time left");
        QVERIFY2(seen[3].startsWith(QStringLiteral("Row 2 of 3") + dot + "3 sent" + dot +
                                    "1 failed" + dot + "about "),
                 qPrintable(seen[3]));
        QVERIFY2(seen[8].startsWith(QStringLiteral("Row 3 of 3") + dot + "8 sent" + dot +
                                    "1 failed" + dot + "about "),
                 qPrintable(seen[8]));
        QVERIFY(seen[8].endsWith(QStringLiteral(" left")));
        QVERIFY(!w->RunProgressPanel->isVisible());
        // The Part's own status text and the gauge are as they always were.
        QCOMPARE(w->MainStatusPanel->text(), QStringLiteral("Process completed sucessfull!"));
        QCOMPARE(w->MainGauge->value(), w->MainGauge->maximum());

        // Gather Missing Counts counts only what it asks.
        seen.clear();
        visible.clear();
        ModalScript script;
        AnswerSearchType(script, 0);
        w->actGatherMissing->trigger();
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0], QStringLiteral("Row 1 of 3") + dot + "0 sent" + dot + "0 failed" + dot +
                              "estimating time left");
        QCOMPARE(w->RunProgressPanel->Progress().Percent(), 100);
        QVERIFY(!w->RunProgressPanel->isVisible());
    }

    void minimised_captionCarriesTheShareDone()
    {
        const QString caption = w->windowTitle();
        QStringList captions;
        recordRequests([&](int n) {
            captions.append(w->windowTitle());
            if (n == 4)
                w->showNormal();
        });
        addRows({"a", "b"});
        w->showMinimized();
        gather(0);
        QCOMPARE(captions, (QStringList{"0% - " + caption, "16% - " + caption, "33% - " + caption,
                                        "50% - " + caption, caption, caption}));
        QCOMPARE(w->windowTitle(), caption);

        // Minimised to the end: the caption comes back exactly.
        captions.clear();
        m_sent.clear();
        w->setWindowTitle(QStringLiteral("Tarnwick \u2013 golf [branded]"));
        w->showMinimized();
        recordRequests();
        gather(1);
        QVERIFY(w->isMinimized());
        QCOMPARE(w->windowTitle(), QStringLiteral("Tarnwick \u2013 golf [branded]"));
        w->showNormal();
    }

    void options_roundTripSavedReloadedApplied()
    {
        QStringList opened;
        ModalScript script;
        script.then([&](QDialog &d) {
            opened.append(d.objectName());
            auto &o = static_cast<TfrmOptions &>(d);
            // What a first opening shows: pacing off, no proxy, 30 s, read off.
            QCOMPARE(o.spnMaxDelay->value(), 0);
            QCOMPARE(o.spnRetries->value(), 0);
            QCOMPARE(o.cmbProxy->currentIndex(), 0);
            QVERIFY(!o.edtProxyHost->isEnabled());
            QCOMPARE(o.spnConnectTimeout->value(), 30);
            QCOMPARE(o.spnReadTimeout->text(), QStringLiteral("Off"));
            // The list group holds the journal's switch, on at first.
            auto *keepList = o.findChild<QCheckBox *>(QStringLiteral("chkKeepList"));
            QVERIFY(keepList && keepList->isChecked() && o.grpList->isVisible());
            QTest::mouseClick(o.btnPolite, Qt::LeftButton);
            o.cmbProxy->setCurrentIndex(2); // HTTP
            QVERIFY(o.edtProxyHost->isEnabled());
            // Nowhere to go yet: Ok waits for a host and a port.
            QVERIFY(!o.btnOk->isEnabled());
            o.edtProxyHost->setText(QStringLiteral(" 127.0.0.1 "));
            o.spnProxyPort->setValue(8888);
            QVERIFY(o.btnOk->isEnabled());
            o.edtProxyUser->setText(QStringLiteral("ann"));
            o.edtProxyPassword->setText(QStringLiteral("pa ss"));
            o.spnReadTimeout->setValue(20);
            o.spnConnectTimeout->setValue(5);
            QTest::mouseClick(o.btnOk, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnOptions, Qt::LeftButton);
        QCOMPARE(opened, QStringList{"frmOptions"});

        TNetworkOptions expected;
        expected.Proxy = {TProxyOptions::Kind::Http, QStringLiteral("127.0.0.1"), 8888,
                          QStringLiteral("ann"), QStringLiteral("pa ss")};
        expected.ConnectTimeoutMs = 5000;
        expected.ReadTimeoutMs = 20000;
        QCOMPARE(w->IdHTTP1->Options(), expected);
        QCOMPARE(w->Pacing().Pacer.Options(), TPacingOptions::Polite());

        // Kept per user, the password nowhere on disk without a secret store.
        QSettings saved(m_settings.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("network/proxyHost")).toString(),
                 QStringLiteral("127.0.0.1"));
        QCOMPARE(saved.value(QStringLiteral("pacing/pauseEvery")).toInt(), 50);
        QVERIFY(!saved.contains(QStringLiteral("network/proxyPassword")));
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("dbsettings.dat"))));

        // From the list's menu, the window shows what was saved; Off and
        // remember, then Cancel changes nothing.
        script.then([&](QDialog &d) {
            auto &o = static_cast<TfrmOptions &>(d);
            QCOMPARE(o.spnMinDelay->value(), 2);
            QCOMPARE(o.spnMaxDelay->value(), 6);
            QCOMPARE(o.spnPauseLength->value(), 60);
            QCOMPARE(o.edtProxyPassword->text(), QStringLiteral("pa ss"));
            QTest::mouseClick(o.btnPacingOff, Qt::LeftButton);
            QTest::mouseClick(o.btnCancel, Qt::LeftButton);
        });
        QVERIFY(w->mnuItems->actions().contains(w->actOptions));
        w->actOptions->trigger();
        QCOMPARE(w->Pacing().Pacer.Options(), TPacingOptions::Polite());

        script.then([&](QDialog &d) {
            auto &o = static_cast<TfrmOptions &>(d);
            o.chkRememberPassword->setChecked(true);
            QTest::mouseClick(o.btnOk, Qt::LeftButton);
        });
        w->actOptions->trigger();
        QSettings remembered(m_settings.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
        QCOMPARE(remembered.value(QStringLiteral("network/proxyPassword")).toString(),
                 QStringLiteral("pa ss"));

        // The next start applies them before any request.
        w = OpenMainWindow(SandboxEndpoints(box), folder.path() + QLatin1Char('/'), msg, false);
        QVERIFY(w);
        QCOMPARE(w->IdHTTP1->Options(), expected);
        QCOMPARE(w->Pacing().Pacer.Options(), TPacingOptions::Polite());
        QVERIFY(script.unexpected.isEmpty());
    }

    void screenshot_optionsWindow()
    {
        TUserOptions options;
        options.Pacing = TPacingOptions::Polite();
        options.Network.Proxy = {TProxyOptions::Kind::Socks5, QStringLiteral("127.0.0.1"), 1080,
                                 QStringLiteral("researcher"), QStringLiteral("secret")};
        TfrmOptions dialog(options, w.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        SaveShot(dialog, QStringLiteral("options-window"));
        // Every field is inside the window.
        for (QWidget *field : dialog.findChildren<QWidget *>())
            if (field->isVisible())
                QVERIFY2(
                    dialog.rect().contains(QRect(field->mapTo(&dialog, QPoint()), field->size())),
                    qPrintable(field->objectName()));
    }

    void screenshot_runProgress()
    {
        // A long run, drawn at the moment it waits between two requests.
        qint64 now = 0;
        w->RunProgressPanel->SetClock([&now] { return now; });
        addRows({"golf clubs", "golf balls", "golf shoes", "golf bags", "golf carts"});
        for (int row = 0; row < 3; ++row)
            for (int e = 0; e < 3; ++e)
                list().setText(row, KeywordRow::Google + e,
                               ExpectedCount(EngineNames[e], text(row, KeywordRow::Keywords), 0));
        w->RunProgressPanel->RunStarted(5000, 15000);
        for (int i = 0; i < 3600; ++i) {
            w->RunProgressPanel->RequestSent(i % 1000 == 0);
            w->RunProgressPanel->QueryDone();
        }
        w->RunProgressPanel->RowStarted(1199);
        now = 12 * 60 * 1000;
        w->RunProgressPanel->RequestSent(false);
        w->SetMainStatus(PacingWaitText(4000));
        w->SetRowCountText(ItemsListedText(list().count()));
        w->IdHTTP1WorkBegin(100);
        w->IdHTTP1WorkEnd();
        w->btnGatherData->setText(QStringLiteral("Stop"));
        QTest::qWait(20);
        SaveShot(*w, QStringLiteral("run-progress"));
        QVERIFY(w->RunProgressPanel->text().startsWith(QStringLiteral("Row 1,200 of 5,000")));
        w->RunProgressPanel->RunEnded();
        w->btnGatherData->setText(QStringLiteral("Gather Data"));
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    app.setQuitOnLastWindowClosed(false);
    TestPacing test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_pacing.moc"
