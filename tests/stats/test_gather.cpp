// Gather Data through the real main window against the in-process emulator:
// what goes out on the wire, what lands in the list, and how a run stops.

#include "StatsTestSupport.h"
#include "app/TApplication.h"
#include "stats/GatherData.h"

#include <QHeaderView>
#include <QLabel>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

class TestGatherData : public QObject, MainWindowFixture
{
    Q_OBJECT

    void verifyRowGathered(int row, int searchType)
    {
        const QByteArray keyword = text(row, KeywordRow::Keywords);
        for (int e = 0; e < 3; ++e)
            QCOMPARE(text(row, KeywordRow::Google + e),
                     ExpectedCount(EngineNames[e], keyword, searchType));
    }
    // Keeps one request of an engine waiting, so that a test can act while
    // it is known to be in flight.
    void holdRequest(const std::string &prefix, int before)
    {
        sandbox::Fault pass;
        pass.pathPrefix = prefix;
        pass.times = before;
        sandbox::Fault hold = pass;
        hold.times = 1;
        hold.delayBeforeMs = 400;
        if (before > 0)
            box.addFault(pass);
        box.addFault(hold);
    }
    void verifyIdle()
    {
        QCOMPARE(w->btnGatherData->text(), QStringLiteral("Gather Data"));
        QVERIFY(w->lvwItems->horizontalHeader()->sectionsClickable());
        QVERIFY(w->bsSkinButton3->isEnabled());
        QVERIFY(w->bsSkinButton4->isEnabled());
        QVERIFY(!w->RunState.Busy);
    }

private slots:
    void initTestCase() { QVERIFY(startBox()); }
    void init() { QVERIFY(freshWindow()); }
    void cleanup() { w.reset(); }

    void resultRow_data()
    {
        QTest::addColumn<int>("engine");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("count");
        const int google = int(TEngine::Google), yahoo = int(TEngine::Yahoo),
                  msn = int(TEngine::Msn);
        QTest::newRow("google") << google
                                << QByteArray("<td><font size=-1>Results <b>1</b> - <b>10</b> of "
                                              "about <b>1,230,000</b> for <b>golf</b>")
                                << QByteArray("1,230,000");
        QTest::newRow("google count after the results marker, not before")
            << google
            << QByteArray("of about <b>7</b> ads <font size=-1>Results 1 - 10 of about "
                          "<b>99</b> for")
            << QByteArray("99");
        QTest::newRow("google without results marker takes first count marker")
            << google << QByteArray("<p>Web 1 - 10 of about <b>4,560</b> for <b>x</b>")
            << QByteArray("4,560");
        QTest::newRow("google without count marker")
            << google << QByteArray("<font size=-1>Results <b>1</b></font>") << QByteArray();
        QTest::newRow("yahoo") << yahoo
                               << QByteArray("1 - 10 of about <strong id=\"resultCount\">45,600"
                                             "</strong> for")
                               << QByteArray("45,600");
        QTest::newRow("yahoo without marker")
            << yahoo << QByteArray("<strong>45,600</strong>") << QByteArray();
        QTest::newRow("msn") << msn
                             << QByteArray("<h5>Web Results <span id=\"count\">1-10 of 2,340,000 "
                                           "results</span></h5>")
                             << QByteArray("2,340,000");
        QTest::newRow("msn trims control bytes, keeps other case")
            << msn << QByteArray("<span id=\"count\">1-10 of \t 812 Results\r\n</span>")
            << QByteArray("812 Results");
        QTest::newRow("msn removes every results")
            << msn << QByteArray("<span id=\"count\">1-10 of results 5 results</span>")
            << QByteArray("5");
        QTest::newRow("msn keeps 8-bit bytes at the ends")
            << msn
            << QByteArray("<span id=\"count\">1-10 of \xA0"
                          "12\xA0 results</span>")
            << QByteArray("\xA0"
                          "12\xA0");
        QTest::newRow("msn without count marker cuts from the first ' of '")
            << msn << QByteArray("Some of 77 results</span>") << QByteArray("77");
        QTest::newRow("msn empty page") << msn << QByteArray() << QByteArray();
    }
    void resultRow()
    {
        QFETCH(int, engine);
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, count);
        QCOMPARE(ResultRow(TEngine(engine), page), count);
    }

    void query_onTheWire_data()
    {
        QTest::addColumn<int>("searchType");
        QTest::addColumn<QByteArray>("keyword");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("precise") << 0 << QByteArray("golf clubs") << QByteArray("%22golf+clubs%22");
        QTest::newRow("broad") << 1 << QByteArray("golf clubs") << QByteArray("golf+clubs");
        QTest::newRow("form value bytes are escaped") << 1 << QByteArray("a&b=c+d \"e\" caf\xE9")
                                                      << QByteArray("a%26b%3Dc%2Bd+%22e%22+caf%E9");
    }
    void query_onTheWire()
    {
        QFETCH(int, searchType);
        QFETCH(QByteArray, keyword);
        QFETCH(QByteArray, encoded);
        list().addRow(keyword);
        gather(searchType);
        const std::vector<sandbox::RecordedRequest> seen = box.requests();
        QCOMPARE(seen.size(), size_t(3));
        const char *paths[] = {"/google/search", "/yahoo/search", "/msn/results.aspx"};
        const char *keys[] = {"q=", "p=", "q="};
        for (int e = 0; e < 3; ++e) {
            QCOMPARE(Bytes(seen[size_t(e)].method), QByteArray("GET"));
            QCOMPARE(Bytes(seen[size_t(e)].path), QByteArray(paths[e]));
            QCOMPARE(Bytes(seen[size_t(e)].query), keys[e] + encoded);
        }
        // The emulator read back the same phrase.
        verifyRowGathered(0, searchType);
        QCOMPARE(w->SearchType, searchType);
    }

    void gather_everyRowWithOrWithoutMark_preciseThenBroad()
    {
        // A list as Gather Keywords leaves it, a few rows marked.
        const auto suggestions = sandbox::Sandbox::suggestionsFor("golf");
        for (size_t i = 0; i < suggestions.size() && i < 20; ++i)
            list().addRow(Bytes(suggestions[i].first), Bytes(suggestions[i].second));
        list().setChecked(2, true);
        list().setChecked(5, true);
        w->SetRowCountText(ItemsListedText(list().count()));
        const int n = list().count();

        // During the run: Stop caption, no sorting, no deleting.
        bool sawRunningState = false;
        WhenRequested during(
            box, [](const auto &seen) { return seen.size() >= 4; },
            [&] {
                sawRunningState = w->btnGatherData->text() == QStringLiteral("Stop") &&
                                  !w->lvwItems->horizontalHeader()->sectionsClickable() &&
                                  !w->bsSkinButton3->isEnabled() && !w->bsSkinButton4->isEnabled();
            });
        gather(0);
        QVERIFY(during.fired());
        QVERIFY(sawRunningState);
        verifyIdle();
        QCOMPARE(box.requests().size(), size_t(3 * n));
        for (int r = 0; r < n; ++r)
            verifyRowGathered(r, 0);
        QCOMPARE(w->MainStatusPanel->text(), QStringLiteral("Process completed sucessfull!"));
        QVERIFY(msg.shown.isEmpty());
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("test.html"))));
        SaveShot(*w, QStringLiteral("main-after-gather-data"));

        QByteArrayList precise;
        for (int r = 0; r < n; ++r)
            for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c)
                precise.append(text(r, c));
        gather(1);
        for (int r = 0; r < n; ++r) {
            verifyRowGathered(r, 1);
            // A quoted phrase is always rarer than its loose words.
            for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c) {
                const QByteArray broad = text(r, c);
                QVERIFY(SortNumber(precise[r * 3 + c - KeywordRow::Google]) < SortNumber(broad));
            }
        }
    }

    void failedFetch_leavesThatColumnAlone_data()
    {
        QTest::addColumn<int>("failing");
        QTest::newRow("google") << 0;
        QTest::newRow("yahoo") << 1;
        QTest::newRow("msn") << 2;
    }
    void failedFetch_leavesThatColumnAlone()
    {
        QFETCH(int, failing);
        addRows({"golf clubs", "tennis"});
        for (int r = 0; r < 2; ++r)
            for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c)
                list().setText(r, c, "old");
        sandbox::Fault notFound;
        notFound.pathPrefix = std::string("/") + EngineNames[failing];
        notFound.status = 404;
        notFound.times = 1; // only the first row's request fails
        box.addFault(notFound);
        gather(0);
        QCOMPARE(text(0, KeywordRow::Google + failing), QByteArray("old"));
        for (int e = 0; e < 3; ++e) {
            if (e != failing)
                QCOMPARE(text(0, KeywordRow::Google + e),
                         ExpectedCount(EngineNames[e], "golf clubs", 0));
        }
        // No retry, no box, and the run went on with the next row.
        QCOMPARE(box.requests().size(), size_t(6));
        QVERIFY(msg.shown.isEmpty());
        verifyRowGathered(1, 0);
    }

    void pageWithoutMarker_emptiesColumn()
    {
        addRows({"golf"});
        list().setText(0, KeywordRow::Yahoo, "old");
        sandbox::Fault shortPage;
        shortPage.pathPrefix = "/yahoo";
        shortPage.pageSize = 120; // cut before the count marker
        box.addFault(shortPage);
        gather(1);
        QCOMPARE(text(0, KeywordRow::Yahoo), QByteArray());
        QCOMPARE(text(0, KeywordRow::Google), ExpectedCount("google", "golf", 1));
    }

    void stop_whileThirdYahooWaits_keepsWhatArrived()
    {
        addRows({"golf clubs", "golf balls", "golf shoes", "golf bags"});
        for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c)
            list().setText(2, c, "old");
        sandbox::Fault normal;
        normal.pathPrefix = "/yahoo";
        normal.times = 2;
        sandbox::Fault slow = normal;
        slow.times = 1;
        slow.delayBeforeMs = 5000;
        box.addFault(normal);
        box.addFault(slow);

        QString captionAtClick;
        WhenRequested stopper(
            box,
            [](const auto &seen) {
                int yahoo = 0;
                for (const auto &r : seen)
                    yahoo += r.path.rfind("/yahoo", 0) == 0;
                return yahoo == 3;
            },
            [&] {
                captionAtClick = w->btnGatherData->text();
                QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
            });
        QElapsedTimer clock;
        clock.start();
        gather(0);
        QVERIFY(stopper.fired());
        QCOMPARE(captionAtClick, QStringLiteral("Stop"));
        QVERIFY2(clock.elapsed() < 4000, "the stop did not cut the waiting request");
        verifyRowGathered(0, 0);
        verifyRowGathered(1, 0);
        QCOMPARE(text(2, KeywordRow::Google), ExpectedCount("google", "golf shoes", 0));
        QCOMPARE(text(2, KeywordRow::Yahoo), QByteArray("old"));
        QCOMPARE(text(2, KeywordRow::Msn), QByteArray("old"));
        for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c)
            QCOMPARE(text(3, c), QByteArray());
        QCOMPARE(box.requests().size(), size_t(3 + 3 + 2));
        QVERIFY(w->StopRequested);
        QCOMPARE(w->MainStatusPanel->text(), QStringLiteral("Process aborted!"));
        verifyIdle();
        QVERIFY(msg.shown.isEmpty());

        // The next run clears the stop and goes through.
        gather(0);
        verifyRowGathered(2, 0);
        verifyRowGathered(3, 0);
    }

    void closeWindow_duringRun_keepsWhatArrivedAndTheApplicationQuits()
    {
        // The real way out: the application runs its loop and quits when its
        // last window closes, which also ends the wait for the page in flight.
        addRows({"a", "b", "c"});
        holdRequest("/yahoo", 1); // the second Yahoo request, row "b"
        qApp->setQuitOnLastWindowClosed(true);
        auto restore = qScopeGuard([] { qApp->setQuitOnLastWindowClosed(false); });
        ModalScript script;
        AnswerSearchType(script, 0);
        WhenRequested closer(
            box, [](const auto &seen) { return seen.size() == 5; }, [&] { w->close(); });
        bool returned = false;
        QTimer::singleShot(0, w.get(), [&] {
            w->btnGatherData->click();
            returned = true;
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        watchdog.start(10000);
        QElapsedTimer clock;
        clock.start();
        const int code = QCoreApplication::exec();
        QCOMPARE(code, 0);
        QVERIFY(closer.fired());
        QVERIFY(returned);
        QVERIFY2(clock.elapsed() < 5000, "the run outlived the application");
        QVERIFY(w->StopRequested);
        QCOMPARE(box.requests().size(), size_t(5));
        verifyRowGathered(0, 0);
        QCOMPARE(text(1, KeywordRow::Google), ExpectedCount("google", "b", 0));
        for (int c : {KeywordRow::Yahoo, KeywordRow::Msn})
            QCOMPARE(text(1, c), QByteArray());
        for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c)
            QCOMPARE(text(2, c), QByteArray());
    }

    void rowsGoneDuringRun_loopEndsCleanly()
    {
        // The buttons are off during a run; the loop must still survive a
        // list that shrinks under it.
        addRows({"a", "b", "c", "d"});
        holdRequest("/google", 1);
        WhenRequested shrink(
            box, [](const auto &seen) { return seen.size() == 4; },
            [&] {
                list().deleteAll();
                list().addRow("z");
            });
        gather(1);
        QVERIFY(shrink.fired());
        QCOMPARE(list().count(), 1);
        QCOMPARE(box.requests().size(), size_t(4));
        verifyIdle();
    }

    void unwritableProgramFolder_errorReportedAndWindowBackToIdle()
    {
        // The temporary page cannot be created: the general error handler
        // reports it, and the window must not stay in its running state.
        w = OpenMainWindow(SandboxEndpoints(box), folder.path() + QStringLiteral("/missing/"), msg);
        auto restore = qScopeGuard([] { TApplication::SetErrorBox(nullptr); });
        QVERIFY(w);
        w->IdHTTP1->SetTempFolder(folder.path() + QStringLiteral("/missing/"));
        addRows({"golf"});
        gather(0);
        QCOMPARE(msg.shown.size(), 1);
        QCOMPARE(msg.shown.last().type, MsgType::Warning);
        QVERIFY(msg.shown.last().text.contains(QStringLiteral("test.html")));
        QVERIFY(box.requests().empty());
        verifyIdle();
    }

    void errorInsideRequestWait_reportedAndRunGoesOn()
    {
        // While a page waits, another window's command throws (its program
        // folder is gone): the box shows it, the code that pressed the button
        // goes on, and the waiting run finishes as if nothing happened.
        std::unique_ptr<TfrmMain> other =
            OpenMainWindow(SandboxEndpoints(box), folder.path() + QStringLiteral("/missing/"), msg);
        auto restore = qScopeGuard([] { TApplication::SetErrorBox(nullptr); });
        QVERIFY(other);
        other->IdHTTP1->SetTempFolder(folder.path() + QStringLiteral("/missing/"));
        other->MainKeyword = "golf";
        addRows({"golf", "tennis"});
        holdRequest("/yahoo", 0);
        bool returned = false;
        WhenRequested thrower(
            box, [](const auto &seen) { return seen.size() == 2; },
            [&] {
                other->btnGatherKeyword->click();
                returned = true;
            });
        gather(0);
        QVERIFY(thrower.fired());
        QVERIFY2(returned, "the exception left the button's signal");
        QCOMPARE(msg.shown.size(), 1);
        QCOMPARE(msg.shown.last().type, MsgType::Warning);
        QVERIFY(msg.shown.last().text.contains(QStringLiteral("test.html")));
        verifyRowGathered(0, 0);
        verifyRowGathered(1, 0);
        QCOMPARE(box.requests().size(), size_t(6));
        verifyIdle();
        QVERIFY(!other->RunState.Busy);
    }

    void searchTypeDialog_freshOnPreciseEveryRun_cancelChangesNothing()
    {
        addRows({"golf"});
        for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c)
            list().setText(0, c, "old");
        w->SearchType = 1;
        ModalScript script;
        int opened = 0;
        for (int round = 0; round < 2; ++round) {
            script.then([&](QDialog &d) {
                auto &dlg = static_cast<TfrmSelSearch &>(d);
                ++opened;
                QCOMPARE(dlg.windowTitle(), QStringLiteral("Select Search Type"));
                QCOMPARE(dlg.size(), QSize(480, 114));
                QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
                QCOMPARE(dlg.bsSkinCheckRadioBox1->text(),
                         QStringLiteral("Precise Search Eg: \"golf clubs\" Should appear the "
                                        "word in the same order."));
                QCOMPARE(dlg.bsSkinCheckRadioBox2->text(),
                         QStringLiteral("Broad Search Eg: golf clubs, any word no matther the "
                                        "order or position in the text."));
                QCOMPARE(dlg.btnOk->text(), QStringLiteral("Ok"));
                QCOMPARE(dlg.btnCancel->text(), QStringLiteral("Cancel"));
                // Neither choice is cut off.
                for (QRadioButton *r : {dlg.bsSkinCheckRadioBox1, dlg.bsSkinCheckRadioBox2})
                    QVERIFY(r->sizeHint().width() <= r->width());
                QVERIFY(dlg.bsSkinCheckRadioBox1->isChecked());
                QVERIFY(!dlg.bsSkinCheckRadioBox2->isChecked());
                QTest::mouseClick(dlg.bsSkinCheckRadioBox2, Qt::LeftButton);
                QVERIFY(dlg.bsSkinCheckRadioBox2->isChecked());
                QTest::mouseClick(dlg.btnCancel, Qt::LeftButton);
            });
            QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
        }
        QCOMPARE(opened, 2);
        QCOMPARE(w->SearchType, 1);
        QVERIFY(box.requests().empty());
        for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c)
            QCOMPARE(text(0, c), QByteArray("old"));
        verifyIdle();
    }

    void refusals_emptyListOrAnotherWebCommand()
    {
        ModalScript script;
        QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
        QCOMPARE(msg.texts(), QStringList{QStringLiteral(
                                  "You need add keywords to gather data from search engines.")});
        QCOMPARE(msg.shown.last().type, MsgType::Information);
        QCOMPARE(msg.shown.last().buttons, MsgButtons::Ok);

        // While another web command holds the client, Gather Data does nothing.
        addRows({"golf"});
        {
            TBusyGuard other(w->RunState);
            QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
            QCOMPARE(w->btnGatherData->text(), QStringLiteral("Gather Data"));
        }
        QCOMPARE(script.opened, 0);
        QVERIFY(box.requests().empty());
        QCOMPARE(msg.shown.size(), 1);
    }

    void window_keepsServingEventsDuringRun()
    {
        const auto suggestions = sandbox::Sandbox::suggestionsFor("tennis");
        for (size_t i = 0; i < suggestions.size() && i < 15; ++i)
            list().addRow(Bytes(suggestions[i].first));
        // Some pages are slow to come, one of them far longer than any
        // acceptable freeze.
        sandbox::Fault slow;
        slow.pathPrefix = "/yahoo";
        slow.delayBeforeMs = 150;
        slow.times = 5;
        sandbox::Fault verySlow;
        verySlow.pathPrefix = "/msn";
        verySlow.delayDuringMs = 1500;
        verySlow.times = 1;
        box.addFault(slow);
        box.addFault(verySlow);
        EventGapProbe probe;
        probe.start();
        gather(0);
        const qint64 worst = probe.stop();
        qInfo("worst gap between 10 ms timer ticks during a run of %d requests: %lld ms",
              int(box.requests().size()), worst);
        QVERIFY2(worst < 1000, "the window stopped serving events while a page was slow");
        verifyRowGathered(int(list().count()) - 1, 0);
    }

    void screenshot_searchTypeDialog()
    {
        TfrmSelSearch dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        SaveShot(dialog, QStringLiteral("dialog-select-search"));
    }
};

int RunGatherTests(int argc, char **argv)
{
    TestGatherData test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_gather.moc"
