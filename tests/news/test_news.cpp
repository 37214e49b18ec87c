// Check News and the start-up news check through the real main window,
// against the emulator's news service over HTTP.

#include "NewsTestSupport.h"
#include "NewsWire.h"

#include "news/FNews.h"
#include "news/FNewsHint.h"
#include "news/NewsClient.h"
#include "news/StartupCheck.h"
#include "settings/SettingsFile.h"

#include <QAccessible>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

namespace {
const QString NoNews = QStringLiteral("There's no news for this application!");
const QString Unreachable =
    QStringLiteral("There is a trouble accessing the news site. Contact your provider.");
const QByteArray Sep = "\xAF";

FormFields ListFields(const QByteArray &publ, const QByteArray &code, const QByteArray &tier,
                      const QByteArray &conttype = "all")
{
    return {{"memusername", publ},  {"prodcode", code},   {"prodtype", tier},
            {"conttype", conttype}, {"newstarget", "UA"}, {"something", ""}};
}
} // namespace

class TestNews : public QObject, NewsFixture
{
    Q_OBJECT

    QByteArray newsBase() const { return Bytes(box.newsBase()); }
    std::vector<sandbox::RecordedRequest> newsRequests() const
    {
        return RequestsUnder(box, "/news/");
    }
    // Presses Check News; returns the rows the news window showed (nothing
    // when it did not open).
    QStringList checkNews()
    {
        ModalScript script;
        QStringList rows;
        script.then([&](QDialog &d) {
            auto &news = static_cast<TfrmNews &>(d);
            for (int i = 0; i < news.lvwItems->topLevelItemCount(); ++i) {
                const QTreeWidgetItem *item = news.lvwItems->topLevelItem(i);
                rows.append(item->data(0, TfrmNews::NewsIdRole).toString() + '|' + item->text(0) +
                            '|' + item->text(1));
            }
            QTest::mouseClick(news.btnExit, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnNews, Qt::LeftButton);
        return rows;
    }
    // Runs the start-up tick and waits for its silent update check.
    void runStartupCheck()
    {
        w->Timer1->start();
        QTRY_VERIFY_WITH_TIMEOUT(!RequestsUnder(box, "/liveupdate/").empty(), 10000);
        QTRY_VERIFY(!w->StartupCheck.Running());
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
        resetNews({{3, "Third", "2006-03-14", "<p>three</p>"},
                   {2, "Second", "2006-02-02", "<p>two</p>"},
                   {1, "First", "2006-01-10", "<p>one</p>"}});
        newFolder();
        QVERIFY(openWindow());
        SetNewsTier(w->ProgramSettings, "Master", "PUB1001", newsBase());
    }

    void cleanup() { closeWindow(); }

    void checkNews_request_data()
    {
        QTest::addColumn<bool>("trailingSlash");
        QTest::newRow("base with /") << true;
        QTest::newRow("base without /") << false;
    }
    void checkNews_request()
    {
        QFETCH(bool, trailingSlash);
        QByteArray base = newsBase();
        if (!trailingSlash)
            base.chop(1);
        w->ProgramSettings.MasterNewsBaseURL = base;
        w->NewsList = {"stale^record^1"};

        const QStringList rows = checkNews();
        QCOMPARE(rows,
                 (QStringList{"3|Third|2006-03-14", "2|Second|2006-02-02", "1|First|2006-01-10"}));
        QVERIFY(msg.texts().isEmpty());
        const auto requests = newsRequests();
        QCOMPARE(requests.size(), size_t(1));
        QCOMPARE(requests[0].method, std::string("POST"));
        QCOMPARE(requests[0].path, std::string("/news/getlastnews.php"));
        QVERIFY2(!BoundaryOf(requests[0]).isEmpty(),
                 HeaderOf(requests[0], "Content-Type").constData());
        QCOMPARE(PostedFields(requests[0]), ListFields("PUB1001", "TARNWICK", "BM"));
        // The list holds this run's records only.
        QCOMPARE(w->NewsList.size(), 3);
        // The gauge follows the request; the status texts are the page
        // fetcher's alone.
        QCOMPARE(w->MainStatusPanel->text(), QString());
        QCOMPARE(w->MainGauge->value(), w->MainGauge->maximum());
    }

    void checkNews_replies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("records then OK") << "7^Seven^d7" + Sep + "6^Six^d6" + Sep + "OK"
                                         << QStringList{"7^Seven^d7", "6^Six^d6"} << QStringList{};
        QTest::newRow("OK in the middle, empty records")
            << Sep + "7^Seven^d7" + Sep + "OK" + Sep + Sep + "6^Six^d6" + Sep + "OK"
            << QStringList{"7^Seven^d7", "6^Six^d6"} << QStringList{};
        QTest::newRow("blanks and control bytes around")
            << QByteArray(" \r\n\t\x01") + "5^Five^d5" + Sep + "OK\r\n\x1f"
            << QStringList{"5^Five^d5"} << QStringList{};
        QTest::newRow("OK inside other text")
            << QByteArray("BOOKING") << QStringList{"BOOKING"} << QStringList{};
        QTest::newRow("OK only") << QByteArray("OK") << QStringList{} << QStringList{NoNews};
        QTest::newRow("empty") << QByteArray("") << QStringList{}
                               << QStringList{Unreachable, NoNews};
        QTest::newRow("CONNECTIONFAIL")
            << QByteArray("CONNECTIONFAIL") << QStringList{}
            << QStringList{"There is a trouble in the settings file on the news site.", NoNews};
        QTest::newRow("INVALIDUSER")
            << QByteArray("INVALIDUSER") << QStringList{}
            << QStringList{"There is a trouble with the Publisher Id. Contact your provider.",
                           NoNews};
        QTest::newRow("INVALIDPRODUCT")
            << QByteArray("\r\nINVALIDPRODUCT ") << QStringList{}
            << QStringList{"There is a trouble with the product validation. Contact your provider.",
                           NoNews};
        QTest::newRow("INVALIDNEWS is for details only")
            << QByteArray("INVALIDNEWS") << QStringList{} << QStringList{NoNews};
        QTest::newRow("codes match whole")
            << QByteArray("INVALIDUSERS") << QStringList{} << QStringList{NoNews};
        QTest::newRow("codes match case")
            << QByteArray("invaliduser") << QStringList{} << QStringList{NoNews};
        QTest::newRow("ok in lower case is no success")
            << QByteArray("1^a^b" + Sep + "ok") << QStringList{} << QStringList{NoNews};
    }
    void checkNews_replies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, records);
        QFETCH(QStringList, messages);
        box.setNewsReply(reply.toStdString());
        const QStringList rows = checkNews();
        QCOMPARE(rows.isEmpty(), records.isEmpty());
        QStringList got;
        for (const QByteArray &r : w->NewsList)
            got.append(QString::fromLatin1(r));
        QCOMPARE(got, records);
        QCOMPARE(msg.texts(), messages);
        for (int i = 0; i < msg.shown.size(); ++i)
            QCOMPARE(msg.shown[i].type,
                     i + 1 < msg.shown.size() ? MsgType::Warning : MsgType::Information);
        // The canned reply answered the request as the program sent it.
        QCOMPARE(newsRequests().size(), size_t(1));
        QCOMPARE(newsRequests()[0].path, std::string("/news/getlastnews.php"));
        QCOMPARE(PostedFields(newsRequests()[0]), ListFields("PUB1001", "TARNWICK", "BM"));
        QCOMPARE(w->MainStatusPanel->text(), QString());
    }

    void checkNews_httpFailure_isUnreachable()
    {
        sandbox::Fault fault;
        fault.pathPrefix = "/news/";
        fault.status = 404;
        box.addFault(fault);
        QVERIFY(checkNews().isEmpty());
        QCOMPARE(msg.texts(), (QStringList{Unreachable, NoNews}));
        QCOMPARE(newsRequests().size(), size_t(1));
    }

    void tiers_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("publId");
        QTest::addColumn<QByteArray>("tierCode"); // empty: nothing may be sent
        QTest::newRow("Master") << QByteArray("Master") << QByteArray("M-1") << QByteArray("BM");
        QTest::newRow("Platinum") << QByteArray("Platinum") << QByteArray("P-1")
                                  << QByteArray("BP");
        QTest::newRow("Gold") << QByteArray("Gold") << QByteArray("G-1") << QByteArray("BG");
        QTest::newRow("master in lower case")
            << QByteArray("master") << QByteArray("M-1") << QByteArray();
        QTest::newRow("Free") << QByteArray("Free") << QByteArray("M-1") << QByteArray();
        QTest::newRow("no publisher id") << QByteArray("Gold") << QByteArray() << QByteArray();
    }
    void tiers()
    {
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, publId);
        QFETCH(QByteArray, tierCode);
        box.setValidPublisher(publId.toStdString(), "TARNWICK");
        // Every tier but the one in use points where nothing answers.
        TProgramSettings &s = w->ProgramSettings;
        s = {};
        const QByteArray nowhere = "http://127.0.0.1:1/news/";
        s.MasterNewsBaseURL = s.PlatinumNewsBaseURL = s.GoldNewsBaseURL = nowhere;
        s.MasterPublID = s.PlatinumPublID = s.GoldPublID = "other";
        const QByteArray lookup = type == "master" || type == "Free" ? "Master" : type;
        SetNewsTier(s, lookup, publId, newsBase());
        s.BranderType = type;

        const QStringList rows = checkNews();
        if (tierCode.isEmpty()) {
            QVERIFY(newsRequests().empty());
            QCOMPARE(msg.texts(), QStringList{NoNews});
            // Nor does the start-up check send anything.
            runStartupCheck();
            QVERIFY(newsRequests().empty());
            return;
        }
        QCOMPARE(rows.size(), 3);
        QCOMPARE(newsRequests().size(), size_t(1));
        QCOMPARE(PostedFields(newsRequests()[0]), ListFields(publId, "TARNWICK", tierCode));

        // The start-up check takes the same tier and address.
        box.clearRequests();
        runStartupCheck();
        QCOMPARE(newsRequests().size(), size_t(1));
        QCOMPARE(PostedFields(newsRequests()[0]),
                 ListFields(publId, "TARNWICK", tierCode, "lastcode"));
        QVERIFY(LMDHint()->IsUp());

        // Pressing the button it points at answers the balloon.
        checkNews();
        QVERIFY(!LMDHint()->IsUp());
    }

    void afterStoppedGather_checkNewsStillAsks()
    {
        // A Stop ends the run it stopped, not the next news check.
        StopAGatherDataRun(*this);
        QVERIFY(w->StopRequested);
        const QString afterStop = w->MainStatusPanel->text();
        box.clearRequests();
        msg.clear();
        QCOMPARE(checkNews().size(), 3);
        QVERIFY(msg.texts().isEmpty());
        QCOMPARE(newsRequests().size(), size_t(1));
        QCOMPARE(PostedFields(newsRequests()[0]), ListFields("PUB1001", "TARNWICK", "BM"));
        QVERIFY(!w->StopRequested);
        // The news request wrote no status text over the gather's.
        QCOMPARE(w->MainStatusPanel->text(), afterStop);
    }

    void stopFlagSet_startupSendsNothing()
    {
        // The start-up check is no user's start: a set flag (the window
        // closing) keeps both its requests off the wire.
        w->StopRequested = true;
        w->Timer1Timer();
        QVERIFY(box.requests().empty());
        QVERIFY(msg.texts().isEmpty());
        QVERIFY(!LMDHint()->IsUp());
    }

    void userCommand_endsAStalledStartupCheckAtOnce()
    {
        // The service takes the start-up request and never answers it.
        slowDown("/news/getlastnews.php", 30000, 1);
        QStringList rows;
        QString hintDuring;
        WhenRequested user(
            box,
            [](const auto &seen) {
                for (const auto &r : seen)
                    if (r.path == "/news/getlastnews.php")
                        return true;
                return false;
            },
            [&] { rows = checkNews(); });
        w->Timer1Timer();
        QVERIFY(user.fired());
        // Check News ran at once and whole; the start-up check ended quietly,
        // without its hint or its update check.
        QCOMPARE(rows.size(), 3);
        QCOMPARE(newsRequests().size(), size_t(2));
        QCOMPARE(PostedFields(newsRequests()[1]), ListFields("PUB1001", "TARNWICK", "BM"));
        QVERIFY(RequestsUnder(box, "/liveupdate/").empty());
        QVERIFY(!LMDHint()->IsUp());
        QVERIFY(msg.texts().isEmpty());
        QVERIFY(!w->StartupCheck.Running());
        QVERIFY(!w->RunState.Busy);
        QCOMPARE(w->MainStatusPanel->text(), QString());
    }

    void stalledService_checkNewsEndsAfterItsTimeOut()
    {
        if (!ClientHonoursTimeOut(box))
            QSKIP("the HTTP client does not honour timeoutMs yet");
        SetNewsTimeoutMs(400);
        slowDown("/news/getlastnews.php", 20000, 1);
        QVERIFY(checkNews().isEmpty());
        QCOMPARE(msg.texts(), (QStringList{Unreachable, NoNews}));
        // Nothing holds the window's one web command any more.
        msg.clear();
        QCOMPARE(checkNews().size(), 3);
    }

    void startup_data()
    {
        QTest::addColumn<QByteArray>("stored"); // "-": no entry in the settings file
        QTest::addColumn<QByteArray>("reply");  // empty: the emulator's own (newest id 3)
        QTest::addColumn<QString>("hint");      // empty: none
        const QString third = QStringLiteral("You've Got A Message!\r\nThird");
        QTest::newRow("nothing stored") << QByteArray("-") << QByteArray() << third;
        QTest::newRow("stored older") << QByteArray("2") << QByteArray() << third;
        QTest::newRow("stored equal") << QByteArray("3") << QByteArray() << QString();
        QTest::newRow("stored newer") << QByteArray("12") << QByteArray() << QString();
        QTest::newRow("stored not a number") << QByteArray("x3") << QByteArray() << third;
        QTest::newRow("latest not a number")
            << QByteArray("-") << QByteArray("abc^Odd^d" + Sep + "OK") << QString();
        QTest::newRow("numbers, not texts")
            << QByteArray("9") << QByteArray("10^Tenth^d" + Sep + "OK")
            << QStringLiteral("You've Got A Message!\r\nTenth");
        QTest::newRow("no item") << QByteArray("-") << QByteArray("OK") << QString();
        QTest::newRow("id only") << QByteArray("-") << QByteArray("4" + Sep + "OK")
                                 << QStringLiteral("You've Got A Message!\r\n");
        QTest::newRow("error reply") << QByteArray("-") << QByteArray("INVALIDUSER") << QString();
        QTest::newRow("empty reply") << QByteArray("-") << QByteArray(" ") << QString();
    }
    void startup()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, reply);
        QFETCH(QString, hint);
        QByteArrayList lines{"<%%ApplicationName%%>Tarnwick<%%/ApplicationName%%>"};
        if (stored != "-")
            lines.append(LastNewsIdLine(stored));
        WriteSettingsFile(programFolder(), lines);
        QCOMPARE(ReadLastNewsId(programFolder()), stored == "-" ? QByteArray() : stored);
        if (!reply.isEmpty())
            box.setNewsReply(reply.toStdString());

        runStartupCheck();
        QVERIFY(msg.texts().isEmpty());
        QCOMPARE(newsRequests().size(), size_t(1));
        QCOMPARE(PostedFields(newsRequests().at(0)),
                 ListFields("PUB1001", "TARNWICK", "BM", "lastcode"));
        // Silent: no status text, whatever the answer.
        QCOMPARE(w->MainStatusPanel->text(), QString());
        QCOMPARE(LMDHint()->IsUp(), !hint.isEmpty());
        if (!hint.isEmpty()) {
            QCOMPARE(LMDHint()->Text(), hint);
            QVERIFY(LMDHint()->isVisible());
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(LMDHint());
            QVERIFY(a);
            QCOMPARE(a->text(QAccessible::Name), QStringLiteral("You've Got A Message!"));
            QCOMPARE(a->text(QAccessible::Description), hint.mid(hint.indexOf('\n') + 1));
        }
        // The check runs once per run, and stores nothing.
        QVERIFY(!w->Timer1->isActive());
        QCOMPARE(ReadLastNewsId(programFolder()), stored == "-" ? QByteArray() : stored);
    }

    void startup_unreachable_saysNothingAndChecksUpdates()
    {
        w->ProgramSettings.MasterNewsBaseURL = "http://127.0.0.1:1/news/";
        box.setPublishedVersion("2.01");
        runStartupCheck();
        QVERIFY(msg.texts().isEmpty());
        QVERIFY(!LMDHint()->IsUp());
        // A failed start-up check shows nothing at all.
        QCOMPARE(w->MainStatusPanel->text(), QString());
    }

    void hint_placementAndLife()
    {
        w->ShowNewsHint(QStringLiteral("You've Got A Message!\r\nFirst"));
        TNewsHint *hint = LMDHint();
        QVERIFY(hint->isVisible());
        const QPoint centre =
            w->btnNews->mapToGlobal(QPoint(w->btnNews->width() / 2, w->btnNews->height() / 2));
        QCOMPARE(hint->TipPoint(), centre);
        // Below and to the left of the point, the tip on its top edge.
        const QRect g = hint->geometry();
        QCOMPARE(g.top(), centre.y());
        QVERIFY(g.left() < centre.x() - g.width() / 2);
        QVERIFY(g.right() > centre.x());
        // Outside the shape nothing shows; the text and the shadow do.
        QVERIFY(!hint->mask().contains(QPoint(0, 0)));
        QVERIFY(hint->mask().contains(hint->rect().center()));
        QVERIFY(hint->mask().contains(QPoint(hint->width() - 4, hint->height() / 2 + 4)));

        // A new hint replaces the old one.
        w->ShowNewsHint(QStringLiteral("You've Got A Message!\r\nSecond"));
        QCOMPARE(w->findChildren<TNewsHint *>().size(), 1);
        QCOMPARE(hint->Text(), QStringLiteral("You've Got A Message!\r\nSecond"));

        // It follows the window, hides and comes back with it.
        w->move(w->pos() + QPoint(37, 21));
        QTRY_COMPARE(hint->TipPoint(), w->btnNews->mapToGlobal(QPoint(w->btnNews->width() / 2,
                                                                      w->btnNews->height() / 2)));
        QCOMPARE(hint->geometry().top(), hint->TipPoint().y());
        w->hide();
        QVERIFY(!hint->isVisible());
        w->show();
        QTRY_VERIFY(hint->isVisible());

        SaveScreen(QStringLiteral("news-balloon"));

        // A click puts it away for good.
        QTest::mouseClick(hint, Qt::LeftButton, {}, QPoint(20, 30));
        QVERIFY(!hint->isVisible());
        QVERIFY(!hint->IsUp());
        w->hide();
        w->show();
        QTest::qWait(20);
        QVERIFY(!hint->isVisible());
    }

    void slowService_windowKeepsServingEvents()
    {
        slowDown("/news/", 1200);
        EventGapProbe probe;
        probe.start();
        // Another web command pressed meanwhile is refused.
        QString refused;
        QTimer::singleShot(300, w.get(), [&] {
            QTest::mouseClick(w->btnUpdate, Qt::LeftButton);
            refused = w->MainStatusPanel->text();
        });
        QCOMPARE(checkNews().size(), 3);
        const qint64 worst = probe.stop();
        qInfo("worst gap between 10 ms timer ticks while Check News waited 1.2 s: %lld ms", worst);
        QVERIFY2(worst < 500, "the window stopped serving events while the news service was slow");
        QVERIFY(RequestsUnder(box, "/liveupdate/").empty());
        QCOMPARE(refused, QLatin1String(RefusedWhileBusyText));
    }

private:
    TNewsHint *LMDHint() const { return w->LMDMessageHint1; }
    // The balloon is a window of its own: lay its picture over the main
    // window's where it stands on the screen, inside its mask.
    void SaveScreen(const QString &name)
    {
        TNewsHint *hint = LMDHint();
        const QPoint offset = hint->pos() - w->mapToGlobal(QPoint(0, 0));
        QPixmap shot = w->grab();
        {
            QPainter p(&shot);
            p.setClipRegion(hint->mask().translated(offset));
            p.drawPixmap(offset, hint->grab());
        }
        QString dir = qEnvironmentVariable("TARNWICK_SHOTS");
        if (dir.isEmpty())
            dir = QDir::currentPath() + QStringLiteral("/screenshots");
        QDir().mkpath(dir);
        shot.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
};

QTEST_MAIN(TestNews)
#include "test_news.moc"
