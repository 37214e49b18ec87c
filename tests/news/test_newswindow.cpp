// The news window as the user meets it: opened by Check News on the real
// main window, texts fetched from the emulator, the last item read stored in
// the real encrypted settings file.

#include "NewsTestSupport.h"
#include "NewsWire.h"

#include "base/FHtmlView.h"
#include "news/FNews.h"
#include "news/FNewsHint.h"
#include "platform/Platform.h"
#include "settings/SettingsFile.h"

#include <QFrame>
#include <QHeaderView>
#include <QScopeGuard>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>

namespace {
const QByteArray Sep = "\xAF";
const QString TroubleWithNews =
    QStringLiteral("There is a trouble with this news. Contact your provider.");
} // namespace

class TestNewsWindow : public QObject, NewsFixture
{
    Q_OBJECT

    std::vector<sandbox::RecordedRequest> detailsRequests() const
    {
        return RequestsUnder(box, "/news/getnewsdetails.php");
    }
    QByteArray storedId() const { return ReadLastNewsId(programFolder()); }

    // Opens the news window through Check News and plays the user in it.
    void withNewsWindow(const std::function<void(TfrmNews &)> &play)
    {
        ModalScript script;
        bool opened = false;
        script.then([&](QDialog &d) {
            opened = true;
            auto &news = static_cast<TfrmNews &>(d);
            QVERIFY(QTest::qWaitForWindowExposed(&news));
            play(news);
            QTest::mouseClick(news.btnExit, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnNews, Qt::LeftButton);
        QVERIFY2(opened, qPrintable(msg.texts().join('|')));
        QVERIFY(script.unexpected.isEmpty());
    }
    static void clickRow(TfrmNews &news, int row)
    {
        QTreeWidgetItem *item = news.lvwItems->topLevelItem(row);
        QTest::mouseClick(news.lvwItems->viewport(), Qt::LeftButton, {},
                          news.lvwItems->visualItemRect(item).center());
    }
    static int selectedRow(TfrmNews &news)
    {
        const QList<QTreeWidgetItem *> sel = news.lvwItems->selectedItems();
        return sel.size() == 1 ? news.lvwItems->indexOfTopLevelItem(sel.first()) : -1;
    }
    static QString shown(TfrmNews &news) { return news.prfEditorNews->toPlainText(); }

private slots:
    void initTestCase() { QVERIFY(box.start()); }

    void init()
    {
        resetNews({{7, "Seventh", "2006-03-14", "<h3>Seven</h3><p>caf\xe9 &amp; more</p>"},
                   {5, "Fifth", "2006-02-02", "<p>five</p>"},
                   {1, "First", "2006-01-10", "<p>one</p>"}});
        newFolder();
        WriteSettingsFile(
            programFolder(),
            {"<%%ApplicationName%%>Tarnwick<%%/ApplicationName%%>",
             "<%%BranderCode%%>TARNWICK<%%/BranderCode%%>",
             "<%%BranderType%%>Master<%%/BranderType%%>",
             "<%%MasterNewsBaseURL%%>" + Bytes(box.newsBase()) + "<%%/MasterNewsBaseURL%%>",
             "<%%MasterPublID%%>PUB1001<%%/MasterPublID%%>", LastNewsIdLine("3")});
        QVERIFY(openWindow());
        // The settings file made the window's news settings.
        QCOMPARE(w->ProgramSettings.MasterPublID, QByteArray("PUB1001"));
        QVERIFY(w->btnNews->isVisible());
    }

    void cleanup() { closeWindow(); }

    void layout_andRowsInOrder()
    {
        withNewsWindow([&](TfrmNews &news) {
            QCOMPARE(news.windowTitle(), QStringLiteral("News"));
            QCOMPARE(news.size(), QSize(682, 411));
            QCOMPARE(news.panTop->height(), 105);
            QCOMPARE(news.panBottom->height(), 41);
            QCOMPARE(news.btnExit->size(), QSize(97, 20));
            QCOMPARE(news.btnExit->text(), QStringLiteral("Close"));
            QCOMPARE(news.splMain->handleWidth(), 10);
            QCOMPARE(news.lvwItems->headerItem()->text(0), QStringLiteral("News Title"));
            QCOMPARE(news.lvwItems->headerItem()->text(1), QStringLiteral("Published"));
            QCOMPARE(news.lvwItems->header()->sectionSize(1), 160);
            QCOMPARE(news.lvwItems->header()->sectionSize(0) + 160,
                     news.lvwItems->viewport()->width());

            QCOMPARE(news.lvwItems->topLevelItemCount(), 3);
            const char *titles[] = {"Seventh", "Fifth", "First"};
            const char *dates[] = {"2006-03-14", "2006-02-02", "2006-01-10"};
            for (int i = 0; i < 3; ++i) {
                QCOMPARE(news.lvwItems->topLevelItem(i)->text(0), QLatin1String(titles[i]));
                QCOMPARE(news.lvwItems->topLevelItem(i)->text(1), QLatin1String(dates[i]));
            }
            QCOMPARE(selectedRow(news), -1);
            QVERIFY(shown(news).isEmpty());
        });
        QVERIFY(detailsRequests().empty());
        QVERIFY(msg.texts().isEmpty());
    }

    void selectingRows_showsTextAndStoresId()
    {
        // The reseller's file goes on after the entry, behind a zero byte too.
        WriteSettingsFile(programFolder(),
                          {"<%%ApplicationName%%>Tarnwick<%%/ApplicationName%%>",
                           LastNewsIdLine("3"), "<%%Link1%%>Help^http://help/<%%/Link1%%>",
                           QByteArray("\0<%%Link2%%>x^y<%%/Link2%%>\r\rend", 32)});
        const std::optional<QByteArray> before = ReadSettingsPlain(programFolder());
        QVERIFY(before);
        withNewsWindow([&](TfrmNews &news) {
            clickRow(news, 1);
            QCOMPARE(shown(news), QStringLiteral("five"));
            QCOMPARE(storedId(), QByteArray("5"));
            clickRow(news, 0);
            QCOMPARE(shown(news), QStringLiteral("Seven\ncaf\u00e9 & more"));
            QCOMPARE(storedId(), QByteArray("7"));
            QCOMPARE(news.lvwItems->cursor().shape(), Qt::ArrowCursor);
            QVERIFY(!news.Busy);
        });
        const auto requests = detailsRequests();
        QCOMPARE(requests.size(), size_t(2));
        QCOMPARE(requests[0].method, std::string("POST"));
        QCOMPARE(PostedFields(requests[0]), (FormFields{{"memusername", "PUB1001"},
                                                        {"prodcode", "TARNWICK"},
                                                        {"prodtype", "BM"},
                                                        {"newsid", "5"},
                                                        {"newstarget", "UA"},
                                                        {"something", ""}}));
        QCOMPARE(PostedFields(requests[1]).at(3), (QPair<QByteArray, QByteArray>{"newsid", "7"}));
        QVERIFY(msg.texts().isEmpty());
        // Only the entry changed: every other byte of the reseller's file stays.
        QByteArray expected = *before;
        expected.replace(LastNewsIdLine("3"), LastNewsIdLine("7"));
        QCOMPARE(ReadSettingsPlain(programFolder()), std::optional<QByteArray>(expected));
    }

    void pictureAndLink_workAsOnTheWelcomePage()
    {
        const std::string news = box.newsBase();
        box.setNewsItems({{8, "Spring offer", "2006-04-02",
                           "<h3>Spring offer</h3><p><img src=\"" + news +
                               "pictures/spring.png\" width=\"320\" height=\"100\"></p>"
                               "<p>Half price. <a href=\"" +
                               box.siteBase() + "help.html\">Read the details</a></p>"}});
        const QString opened = programFolder() + QStringLiteral("browser-args.txt");
        WriteAll(programFolder() + QStringLiteral("browser.sh"),
                 "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + opened.toLocal8Bit() + "'\n", true);
        platform::SetBrowserCommandOverride("\"" + programFolder().toLocal8Bit() +
                                            "browser.sh\" \"%1\"");
        auto restore = qScopeGuard([] { platform::ClearBrowserCommandOverride(); });
        withNewsWindow([&](TfrmNews &news) {
            clickRow(news, 0);
            QTRY_COMPARE_WITH_TIMEOUT(news.prfEditorNews->PendingPictures(), 0, 5000);
            QCOMPARE(RequestsUnder(box, "/news/pictures/spring.png").size(), size_t(1));
            // The picture is painted: a page of text has no saturated colour.
            QTest::qWait(50);
            const QImage shot = news.prfEditorNews->viewport()->grab().toImage();
            int coloured = 0;
            for (int y = 0; y < shot.height(); y += 2)
                for (int x = 0; x < shot.width(); x += 2) {
                    const QColor c = shot.pixelColor(x, y);
                    coloured += c.saturation() > 80;
                }
            QVERIFY2(coloured > 500, qPrintable(QString::number(coloured)));
            SaveShot(news, QStringLiteral("news-window"));

            // A click on the link goes to the browser; the text stays.
            const QPoint link = [&] {
                QTextCursor at =
                    news.prfEditorNews->document()->find(QStringLiteral("Read the details"));
                at.setPosition(at.selectionStart() + 4);
                return news.prfEditorNews->cursorRect(at).center();
            }();
            QTest::mouseClick(news.prfEditorNews->viewport(), Qt::LeftButton, {}, link);
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opened), 5000);
            QTRY_COMPARE_WITH_TIMEOUT(ReadAll(opened), Bytes(box.siteBase()) + "help.html\n", 5000);
            QVERIFY(news.prfEditorNews->toPlainText().contains(QStringLiteral("Half price")));
        });
        QCOMPARE(storedId(), QByteArray("8"));
    }

    void secondSelectionWhileLoading_isRefused()
    {
        slowDown("/news/getnewsdetails.php", 800, 1);
        withNewsWindow([&](TfrmNews &news) {
            Qt::CursorShape during = Qt::ArrowCursor;
            int selectedDuring = -2;
            bool busyDuring = false;
            QTimer::singleShot(250, &news, [&] {
                busyDuring = news.Busy;
                during = news.cursor().shape();
                clickRow(news, 2);
                QTest::keyClick(news.lvwItems, Qt::Key_Down);
                news.lvwItems->setCurrentItem(news.lvwItems->topLevelItem(1));
                selectedDuring = selectedRow(news);
            });
            EventGapProbe probe;
            probe.start();
            clickRow(news, 0);
            const qint64 worst = probe.stop();
            qInfo("worst gap between 10 ms timer ticks while a news text took 0.8 s: %lld ms",
                  worst);
            QVERIFY(busyDuring);
            QCOMPARE(during, Qt::WaitCursor);
            QCOMPARE(selectedDuring, 0);
            QCOMPARE(selectedRow(news), 0);
            QCOMPARE(shown(news), QStringLiteral("Seven\ncaf\u00e9 & more"));
            QCOMPARE(news.cursor().shape(), Qt::ArrowCursor);
            QVERIFY(worst < 500);

            // Once the text is in, the list takes changes again.
            clickRow(news, 2);
            QCOMPARE(selectedRow(news), 2);
            QCOMPARE(shown(news), QStringLiteral("one"));
        });
        QCOMPARE(detailsRequests().size(), size_t(2));
    }

    void failedDetails_keepTextAndId_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("INVALIDNEWS") << QByteArray("INVALIDNEWS") << QStringList{TroubleWithNews};
        QTest::newRow("INVALIDUSER")
            << QByteArray("INVALIDUSER")
            << QStringList{"There is a trouble with the Publisher Id. Contact your provider."};
        QTest::newRow("empty")
            << QByteArray()
            << QStringList{"There is a trouble accessing the news site. Contact your provider."};
        QTest::newRow("unknown text") << QByteArray("HELLO") << QStringList{};
    }
    void failedDetails_keepTextAndId()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, messages);
        withNewsWindow([&](TfrmNews &news) {
            clickRow(news, 1);
            QCOMPARE(shown(news), QStringLiteral("five"));
            box.setNewsReply(reply.toStdString());
            clickRow(news, 2);
            QCOMPARE(msg.texts(), messages);
            for (const auto &s : msg.shown)
                QCOMPARE(s.type, MsgType::Warning);
            QCOMPARE(shown(news), QStringLiteral("five"));
            QCOMPARE(selectedRow(news), 2);
            QVERIFY(!news.Busy);
        });
        QCOMPARE(storedId(), QByteArray("5"));
    }

    void detailsReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("text");
        QTest::newRow("escapes decoded")
            << QByteArray("$3Cb$3EBold$3C/b$3E and $24" + Sep + "OK") << "Bold and $";
        QTest::newRow("markers anywhere") << QByteArray("a" + Sep + "OKb" + Sep + "OK") << "ab";
        QTest::newRow("malformed escape") << QByteArray("good $zz" + Sep + "OK") << "";
        QTest::newRow("OK only") << QByteArray("OK") << "OK";
        QTest::newRow("empty text") << QByteArray(Sep + "OK") << "";
    }
    void detailsReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, text);
        withNewsWindow([&](TfrmNews &news) {
            clickRow(news, 0);
            QCOMPARE(shown(news), QStringLiteral("Seven\ncaf\u00e9 & more"));
            box.setNewsReply(reply.toStdString());
            clickRow(news, 2);
            QCOMPARE(shown(news), text);
        });
        // The id is written even when the text comes out empty.
        QCOMPARE(storedId(), QByteArray("1"));
        QVERIFY(msg.texts().isEmpty());
    }

    void olderItem_lowersStoredId_andNewestIsAnnouncedAgain()
    {
        withNewsWindow([&](TfrmNews &news) {
            clickRow(news, 0);
            QCOMPARE(storedId(), QByteArray("7"));
            clickRow(news, 2);
        });
        QCOMPARE(storedId(), QByteArray("1"));
        // The next start sees the newest item as unread.
        auto next = OpenMainWindow(SandboxEndpoints(box), programFolder(), msg);
        SetNewsTier(next->ProgramSettings, "Master", "PUB1001", Bytes(box.newsBase()));
        next->Timer1Timer();
        QVERIFY(next->LMDMessageHint1->IsUp());
        QCOMPARE(next->LMDMessageHint1->Text(), QStringLiteral("You've Got A Message!\r\nSeventh"));
    }

    // The id comes from the service unchecked: one that would add entries to
    // the settings file is shown like any other but never stored.
    void hostileId_shownButNeverWritten_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::newRow("CR LF and a welcome page")
            << QByteArray("12\r\n<%%Welcome2%%><a href=\"http://evil/\">Update now</a>"
                          "<%%/Welcome2%%>");
        QTest::newRow("bare LF") << QByteArray("12\n<%%AppHelpURL%%>http://evil/<%%/AppHelpURL%%>");
        QTest::newRow("zero byte") << QByteArray("12\0tail", 7);
        QTest::newRow("marker") << QByteArray("12<%%/LastNewsId%%><%%LINK1%%>x");
    }
    void hostileId_shownButNeverWritten()
    {
        QFETCH(QByteArray, id);
        const std::optional<QByteArray> before = ReadSettingsPlain(programFolder());
        QVERIFY(before);
        box.setNewsReply((id + "^Offer^2006-05-05" + Sep + "OK").toStdString());
        withNewsWindow([&](TfrmNews &news) {
            QCOMPARE(news.lvwItems->topLevelItemCount(), 1);
            QCOMPARE(news.lvwItems->topLevelItem(0)->text(0), QStringLiteral("Offer"));
            box.setNewsReply(("<p>offer text</p>" + Sep + "OK").toStdString());
            clickRow(news, 0);
            QCOMPARE(shown(news), QStringLiteral("offer text"));
            QVERIFY(!news.Busy);
        });
        QCOMPARE(detailsRequests().size(), size_t(1));
        QCOMPARE(PostedFields(detailsRequests().at(0)).at(3),
                 (QPair<QByteArray, QByteArray>{"newsid", id}));
        QCOMPARE(ReadSettingsPlain(programFolder()), before);
        QCOMPARE(storedId(), QByteArray("3"));
        QVERIFY(msg.texts().isEmpty());
    }

    void withoutSettingsFile_nothingIsWritten()
    {
        QFile::remove(programFolder() + QStringLiteral("dbsettings.dat"));
        withNewsWindow([&](TfrmNews &news) {
            clickRow(news, 1);
            QCOMPARE(shown(news), QStringLiteral("five"));
        });
        QVERIFY(!QFile::exists(programFolder() + QStringLiteral("dbsettings.dat")));
        QVERIFY(!QFile::exists(programFolder() + QStringLiteral("dbsettings.sim")));
    }

    void recordWithMissingFields_showsEmptyPieces()
    {
        box.setNewsReply(std::string("^No id^2006-05-05") + "\xAF" + "9^Nine" + "\xAF" + "OK");
        withNewsWindow([&](TfrmNews &news) {
            QCOMPARE(news.lvwItems->topLevelItemCount(), 2);
            QCOMPARE(news.lvwItems->topLevelItem(0)->text(0), QStringLiteral("No id"));
            QCOMPARE(news.lvwItems->topLevelItem(0)->text(1), QStringLiteral("2006-05-05"));
            QCOMPARE(news.lvwItems->topLevelItem(1)->text(0), QStringLiteral("Nine"));
            QCOMPARE(news.lvwItems->topLevelItem(1)->text(1), QString());
            box.setNewsReply(std::string("<p>x</p>") + "\xAF" + "OK");
            clickRow(news, 0);
            QCOMPARE(shown(news), QStringLiteral("x"));
        });
        // A record without an id stores an empty one.
        QCOMPARE(storedId(), QByteArray());
        QCOMPARE(PostedFields(detailsRequests().at(0)).at(3),
                 (QPair<QByteArray, QByteArray>{"newsid", ""}));
    }
};

QTEST_MAIN(TestNewsWindow)
#include "test_newswindow.moc"
