// Gather Keywords as the user drives it: the real main window against the
// emulated suggestion service, with the real security image dialog answered
// through the modal seam. Then the page parser and the dialog's cuts on their
// own.

#include "Sandbox.h"
#include "app/FMain.h"
#include "app/TApplication.h"
#include "base/HttpClient.h"
#include "base/ScreenText.h"
#include "keywords/FCaptcha.h"
#include "keywords/GatherKeywords.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using sandbox::ChallengeMode;
using sandbox::Fault;

namespace {

QByteArray bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

class RecordingStatus : public IStatusBar
{
public:
    QStringList main, rowCounts;
    void SetMainStatus(const QString &text) override { main.append(text); }
    void SetRowCountText(const QString &text) override { rowCounts.append(text); }
};

const QString WrongPassword = QStringLiteral("Wrong password. Do you want try again?");

} // namespace

class TestKeywords : public QObject
{
    Q_OBJECT

    sandbox::Sandbox server;
    QTemporaryDir folder;
    std::unique_ptr<TfrmMain> w;
    ScriptedMessageBox msg;

    TKeywordList &list() { return *w->Items(); }
    QByteArrayList column(int col)
    {
        QByteArrayList out;
        for (int r = 0; r < list().count(); ++r)
            out.append(list().row(r)[col]);
        return out;
    }
    static QByteArrayList phrases(const QByteArray &seed)
    {
        QByteArrayList out;
        for (const auto &[phrase, count] : sandbox::Sandbox::suggestionsFor(seed.toStdString()))
            out.append(bytes(phrase));
        return out;
    }
    static QByteArrayList counts(const QByteArray &seed)
    {
        QByteArrayList out;
        for (const auto &[phrase, count] : sandbox::Sandbox::suggestionsFor(seed.toStdString()))
            out.append(bytes(count));
        return out;
    }
    void gather(const QByteArray &keyword)
    {
        w->MainKeyword = keyword;
        QTest::mouseClick(w->btnGatherKeyword, Qt::LeftButton);
    }
    QStringList targets(const char *pathPrefix = "/wt") const
    {
        QStringList out;
        for (const auto &r : server.requests())
            if (r.path.rfind(pathPrefix, 0) == 0)
                out.append(QString::fromStdString(r.target));
        return out;
    }
    int answerRequests() const { return int(targets("/wt/keyword-suggestion-tool.html").size()); }

    // One round of the security image: waits for the picture, then types
    // what the service expects (or `typed` when given) and presses Ok.
    struct Round
    {
        QByteArray random, seed;
        bool picture = false;
        QSize pictureSize;
    };
    ModalScript::Step answer(Round &round, const QByteArray &typed = QByteArray(),
                             const QString &shot = QString())
    {
        return [this, &round, typed, shot](QDialog &d) {
            auto &dlg = static_cast<TfrmCaptcha &>(d);
            round.random = dlg.RandomValue;
            round.seed = dlg.SeedValue;
            round.picture =
                QTest::qWaitFor([&] { return !dlg.EmbeddedWB1->pixmap().isNull(); }, 10000);
            round.pictureSize = dlg.EmbeddedWB1->pixmap().size();
            const QByteArray text =
                typed.isNull() ? bytes(server.expectedAnswer(dlg.RandomValue.toStdString()))
                               : typed;
            QTest::keyClicks(dlg.edtPassword, ToScreen(text));
            if (!shot.isEmpty())
                SaveShot(dlg, shot);
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        };
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        QVERIFY(folder.isValid());
    }

    void init()
    {
        server.clearFaults();
        server.clearRequests();
        server.setChallengeMode(ChallengeMode::Never);
        Endpoints urls;
        urls.Suggest = bytes(server.suggestBase());
        w = OpenMainWindow(urls, folder.path() + QLatin1Char('/'), msg);
        QVERIFY(w);
    }

    void cleanup()
    {
        TApplication::SetErrorBox(nullptr);
        w.reset();
        QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("test.html"))));
    }

    void harvest_noChallenge_listsSuggestionsAndAppendsAgain()
    {
        gather("golf");
        const QByteArrayList expected = phrases("golf");
        QVERIFY(expected.size() >= 20);
        QCOMPARE(column(KeywordRow::Keywords), expected);
        QCOMPARE(column(KeywordRow::Searches), counts("golf"));
        QCOMPARE(column(KeywordRow::No).first(), QByteArray("1"));
        QCOMPARE(column(KeywordRow::No).last(), QByteArray::number(expected.size()));
        for (const KeywordRow &row : list().rows()) {
            QVERIFY(row[KeywordRow::Google].isEmpty() && row[KeywordRow::Yahoo].isEmpty() &&
                    row[KeywordRow::Msn].isEmpty());
            QVERIFY(!row.Checked);
        }
        QCOMPARE(w->SecondStatusPanel->text(), ItemsListedText(expected.size()));
        QCOMPARE(w->MainStatusPanel->text(), QStringLiteral("Process completed sucessfull!"));
        QVERIFY(msg.shown.isEmpty());

        // Nothing is de-duplicated: a second run appends the same phrases.
        gather("golf");
        QCOMPARE(list().count(), 2 * expected.size());
        QCOMPARE(column(KeywordRow::Keywords).mid(expected.size()), expected);
        QCOMPARE(list().row(expected.size())[KeywordRow::No],
                 QByteArray::number(expected.size() + 1));
    }

    void harvest_withoutMainKeyword_asksForOneAndSendsNothing()
    {
        w->RunState.StopRequested = true;
        gather("");
        QCOMPARE(msg.texts(), QStringList{QStringLiteral(
                                  "Please enter a main keyword before gather keywords.")});
        QCOMPARE(msg.shown.first().buttons, MsgButtons::Ok);
        QVERIFY(!w->RunState.StopRequested); // cleared first
        QVERIFY(server.requests().empty());
    }

    void suggestionRequest_encodesTheKeyword_data()
    {
        QTest::addColumn<QByteArray>("keyword");
        QTest::addColumn<QString>("target");
        QTest::newRow("space")
            << QByteArray("golf clubs")
            << "/wt/?seed=golf+clubs&adult_filter=remove_offensive&suggest=Hit+Me";
        QTest::newRow("hash")
            << QByteArray("c# tutorial")
            << "/wt/?seed=c%23+tutorial&adult_filter=remove_offensive&suggest=Hit+Me";
        QTest::newRow("ampersand")
            << QByteArray("salt & pepper")
            << "/wt/?seed=salt+%26+pepper&adult_filter=remove_offensive&suggest=Hit+Me";
        QTest::newRow("8-bit")
            << QByteArray("caf\xe9 cr\xe8me")
            << "/wt/?seed=caf%E9+cr%E8me&adult_filter=remove_offensive&suggest=Hit+Me";
    }
    void suggestionRequest_encodesTheKeyword()
    {
        QFETCH(QByteArray, keyword);
        QFETCH(QString, target);
        gather(keyword);
        QCOMPARE(targets(), QStringList{target});
        // The service read the whole keyword.
        QCOMPARE(column(KeywordRow::Keywords), phrases(keyword));
    }

    void challenge_answeredRight_listsSuggestions()
    {
        server.setChallengeMode(ChallengeMode::Always);
        ModalScript script;
        Round round;
        script.then(answer(round, QByteArray(), QStringLiteral("dialog-security-image")));
        gather("golf");
        QCOMPARE(script.opened, 1);
        QVERIFY(round.picture);
        QVERIFY(round.pictureSize.width() > 50 && round.pictureSize.height() > 20);
        QCOMPARE(round.seed, QByteArray("golf"));
        const QString expectedAnswer =
            QString::fromStdString(server.expectedAnswer(round.random.toStdString()));
        QVERIFY(!expectedAnswer.isEmpty());
        QCOMPARE(targets("/wt/keyword-suggestion-tool.html"),
                 QStringList{QStringLiteral("/wt/keyword-suggestion-tool.html?password=") +
                             expectedAnswer + QStringLiteral("&random=") +
                             QString::fromLatin1(round.random) + QStringLiteral("&seed=golf")});
        QCOMPARE(column(KeywordRow::Keywords), phrases("golf"));
        QVERIFY(msg.shown.isEmpty());
    }

    void challenge_phraseWithSpacesAndSymbols_passes()
    {
        // The hidden seed comes back as a form value, so the service sees
        // the phrase it asked about.
        server.setChallengeMode(ChallengeMode::Always);
        ModalScript script;
        Round round;
        script.then(answer(round, QByteArray(), QString()));
        gather("salt & pepper");
        QCOMPARE(round.seed, QByteArray("salt & pepper"));
        QVERIFY(targets("/wt/keyword-suggestion-tool.html")
                    .constFirst()
                    .endsWith(QStringLiteral("&seed=salt+%26+pepper")));
        QCOMPARE(column(KeywordRow::Keywords), phrases("salt & pepper"));
    }

    void challenge_wrongThenOkThenRight()
    {
        server.setChallengeMode(ChallengeMode::Always);
        ModalScript script;
        Round first, second;
        script.then(answer(first, "nothing like it"));
        script.then(answer(second));
        gather("golf");
        QCOMPARE(msg.texts(), QStringList{WrongPassword});
        QCOMPARE(msg.shown.first().buttons, MsgButtons::OkCancel);
        QCOMPARE(script.opened, 2);
        // The second dialog showed the new challenge with its own picture.
        QVERIFY(second.picture);
        QVERIFY(second.random != first.random);
        QVERIFY(targets("/wt/keyword-suggestion-tool.html")
                    .first()
                    .startsWith(QStringLiteral(
                        "/wt/keyword-suggestion-tool.html?password=nothing+like+it&random=")));
        QCOMPARE(column(KeywordRow::Keywords), phrases("golf"));
    }

    void challenge_wrongThenCancel_addsNothing()
    {
        server.setChallengeMode(ChallengeMode::Always);
        ModalScript script;
        Round round;
        script.then(answer(round, "wrong"));
        msg.answers = {MsgResult::Cancel};
        w->SecondStatusPanel->setText(QStringLiteral("untouched"));
        gather("golf");
        QCOMPARE(msg.texts(), QStringList{WrongPassword});
        QCOMPARE(script.opened, 1);
        QCOMPARE(answerRequests(), 1);
        QCOMPARE(list().count(), 0);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("untouched"));
    }

    void challenge_cancelInDialog_sendsNoAnswer()
    {
        server.setChallengeMode(ChallengeMode::Always);
        ModalScript script;
        bool refusedEmpty = false;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TfrmCaptcha &>(d);
            // An empty answer cannot be sent; the dialog stays.
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
            refusedEmpty = dlg.isVisible();
            QTest::mouseClick(dlg.btnCancel, Qt::LeftButton);
        });
        gather("golf");
        QVERIFY(refusedEmpty);
        QCOMPARE(msg.texts(), QStringList{QStringLiteral("Please enter a password.")});
        QCOMPARE(answerRequests(), 0);
        QCOMPARE(list().count(), 0);
    }

    void challenge_onlyOnceForTheSession()
    {
        // The session cookie carries the passed check to the next harvest.
        server.setChallengeMode(ChallengeMode::FirstTime);
        ModalScript script;
        Round round;
        script.then(answer(round));
        gather("golf");
        gather("tennis");
        QCOMPARE(script.opened, 1);
        QCOMPARE(column(KeywordRow::Keywords), phrases("golf") + phrases("tennis"));
    }

    void challenge_failedAnswerRequest_addsNothingSaysNothing()
    {
        server.setChallengeMode(ChallengeMode::Always);
        server.addFault(Fault{"/wt/keyword-suggestion-tool.html", 0, 0, 404});
        ModalScript script;
        Round round;
        script.then(answer(round));
        gather("golf");
        QCOMPARE(answerRequests(), 1);
        QVERIFY(msg.shown.isEmpty());
        QCOMPARE(list().count(), 0);
        QCOMPARE(w->MainStatusPanel->text(),
                 QStringLiteral("Connection error, check if you are connected and url exists."));
    }

    void secondGatherWhileWaiting_isRefusedWithoutRequest()
    {
        server.addFault(Fault{"/wt", 800, 0, 0, 0, false, false, 0, 1});
        int requestsSeenByInner = -1;
        QTimer::singleShot(200, this, [&] {
            QTest::mouseClick(w->btnGatherKeyword, Qt::LeftButton);
            requestsSeenByInner = int(server.requests().size());
        });
        gather("golf");
        QCOMPARE(requestsSeenByInner, 1);
        QCOMPARE(targets().size(), 1);
        QCOMPARE(column(KeywordRow::Keywords), phrases("golf"));
        QVERIFY(msg.shown.isEmpty());
        // Free again once the first run ended.
        gather("golf");
        QCOMPARE(targets().size(), 2);
    }

    void closeWhileWaiting_abortsTheHarvest()
    {
        qApp->setQuitOnLastWindowClosed(false);
        server.addFault(Fault{"/wt", 0, 3000, 0, 0, false, false, 20000, 1});
        QTimer::singleShot(300, w.get(), [&] { w->close(); });
        gather("golf");
        QCOMPARE(w->MainStatusPanel->text(), QStringLiteral("Process aborted!"));
        QCOMPARE(list().count(), 0);
        QVERIFY(w->StopRequested);
        qApp->setQuitOnLastWindowClosed(true);
    }

    // ---- the page parser ----------------------------------------------------

    void parse_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArrayList>("keywords");
        QTest::addColumn<QByteArrayList>("searches");

        const QByteArray head =
            "<table><tr><th colspan=\"2\" class=\"keyword\">Keyword</th></tr>\n";
        auto row = [](const QByteArray &k, const QByteArray &s) {
            return "<tr><td class='k'>" + k + " (<a href=\"x\">?</a>)</td><td class='s'>" + s +
                   "</td></tr>\n";
        };
        QTest::newRow("bold keyword, count with separators")
            << 0 << head + "<tr><td class='k'><b>golf</b> clubs (</td><td class='s'>1,234</td>"
            << QByteArrayList{"golf clubs"} << QByteArrayList{"1,234"};
        QTest::newRow("four rows there: numbered on")
            << 4 << head + row("a", "30") + row("b", "20") + row("c", "10")
            << QByteArrayList{"a", "b", "c"} << QByteArrayList{"30", "20", "10"};
        QTest::newRow("keyword without count takes the next; the one passed over is lost")
            << 0
            << head +
                   "<tr><td class='k'>a (</td></tr><tr><td class='k'>b (</td><td class='s'>5</td>" +
                   row("c", "6")
            << QByteArrayList{"a", "c"} << QByteArrayList{"5", "6"};
        QTest::newRow("last keyword without count")
            << 0 << head + row("a", "1") + "<td class='k'>z (" << QByteArrayList{"a", "z"}
            << QByteArrayList{"1", ""};
        QTest::newRow("entities and padding cleaned")
            << 0 << head + row("  salt &amp; pepper ", " 12 ") << QByteArrayList{"salt & pepper"}
            << QByteArrayList{"12"};
        QTest::newRow("empty keyword cell ends the list")
            << 0 << head + row("a", "1") + row("", "2") + row("c", "3") << QByteArrayList{"a"}
            << QByteArrayList{"1"};
        QTest::newRow("keyword cell without '(' ends the list")
            << 0 << head + row("a", "1") + "<td class='k'>b</td><td class='s'>2</td>"
            << QByteArrayList{"a"} << QByteArrayList{"1"};
        QTest::newRow("cells before the header are skipped")
            << 0 << row("early", "9") + head + row("a", "1") << QByteArrayList{"a"}
            << QByteArrayList{"1"};
        QTest::newRow("markers in other letter case still cut")
            << 0 << head + "<TD CLASS='K'>a (</td><Td Class='S'>7</TD>" << QByteArrayList{"a"}
            << QByteArrayList{"7"};
        QTest::newRow("no table") << 0 << row("a", "1") << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("header in other letter case is no table")
            << 0 << "<TH colspan=\"2\" class=\"keyword\">" + row("a", "1") << QByteArrayList{}
            << QByteArrayList{};
        QTest::newRow("table without rows")
            << 2 << head + "</table>" << QByteArrayList{} << QByteArrayList{};
        QTest::newRow("empty page") << 0 << QByteArray() << QByteArrayList{} << QByteArrayList{};
    }
    void parse()
    {
        QFETCH(int, existing);
        QFETCH(QByteArray, page);
        QFETCH(QByteArrayList, keywords);
        QFETCH(QByteArrayList, searches);
        TKeywordList list;
        for (int i = 0; i < existing; ++i)
            list.addRow("old " + QByteArray::number(i));
        RecordingStatus status;
        ParseSuggestionPage(page, list, status);

        QCOMPARE(list.count(), existing + keywords.size());
        QStringList expectedCounts;
        for (int i = 0; i < keywords.size(); ++i) {
            const KeywordRow &row = list.row(existing + i);
            QCOMPARE(row[KeywordRow::No], QByteArray::number(existing + i + 1));
            QCOMPARE(row[KeywordRow::Keywords], keywords[i]);
            QCOMPARE(row[KeywordRow::Searches], searches[i]);
            expectedCounts.append(ItemsListedText(existing + i + 1));
        }
        // No table, no rows: the count text is not touched.
        QCOMPARE(status.rowCounts, expectedCounts);
        QVERIFY(status.main.isEmpty());
    }

    // ---- the security image dialog on its own ----------------------------------

    void captchaCuts_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("random");
        QTest::addColumn<QByteArray>("seed");
        QTest::addColumn<QByteArray>("image");

        const QByteArray r = "<input type=\"hidden\" name=\"random\" value=\"";
        const QByteArray s = "<input type=\"hidden\" name=\"seed\" value=\"";
        QTest::newRow("random, seed, image")
            << "<img src=\"logo.gif\">" + r + "4711\">" + s +
                   "golf+clubs\"><img src=\"http://h/i.php?a=1&amp;b=2\">"
            << QByteArray("4711") << QByteArray("golf+clubs")
            << QByteArray("http://h/i.php?a=1&b=2");
        QTest::newRow("&amp;amp; keeps one &amp;")
            << r + "1\">" + s + "2\"><img src=\"http://h/i?a=1&amp;amp;b=2&amp;&amp;c\">"
            << QByteArray("1") << QByteArray("2") << QByteArray("http://h/i?a=1&amp;b=2&&c");
        QTest::newRow("seed before random, no second seed")
            << s + "golf\">" + r + "9\"><img src=\"http://h/i\">" << QByteArray("9") << QByteArray()
            << QByteArray("http://h/i");
        QTest::newRow("seed before random, a second seed follows")
            << s + "golf\">" + r + "9\">" + s + "tennis\"><img SRC=\"http://h/i\">"
            << QByteArray("9") << QByteArray("tennis") << QByteArray("http://h/i");
        QTest::newRow("no random: seed searched from the top")
            << "<img src=\"a\">" + s + "golf\"><img src=\"http://h/b\">" << QByteArray()
            << QByteArray("golf") << QByteArray("http://h/b");
        QTest::newRow("no hidden inputs: the first image")
            << QByteArray("<p><img src=\"http://h/first\"><img src=\"http://h/second\">")
            << QByteArray() << QByteArray() << QByteArray("http://h/first");
        QTest::newRow("no image") << r + "1\">" + s + "2\">" << QByteArray("1") << QByteArray("2")
                                  << QByteArray();
    }
    void captchaCuts()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, random);
        QFETCH(QByteArray, seed);
        QFETCH(QByteArray, image);
        TRunState state;
        THttpClient http(state, folder.path() + QLatin1Char('/'));
        TfrmCaptcha dlg(http, msg);
        dlg.PageHtml = page;
        dlg.FormShow();
        QCOMPARE(dlg.RandomValue, random);
        QCOMPARE(dlg.SeedValue, seed);
        QCOMPARE(dlg.ImageSrc, image);
    }

    void captchaDialog_layoutKeysAndRefresh()
    {
        server.setChallengeMode(ChallengeMode::Always);
        QByteArray page;
        QVERIFY(w->IdHTTP1->FetchPage(bytes(server.suggestBase()) + "/?seed=golf", page));
        TfrmCaptcha dlg(*w->IdHTTP1, msg);
        dlg.PageHtml = page;
        QSignalSpy loaded(&dlg, &TfrmCaptcha::imageLoaded);
        // A load may end before a wait() for the next signal begins, so the
        // loads are counted instead.
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTRY_VERIFY_WITH_TIMEOUT(loaded.count() == 1, 10000);
        QCOMPARE(loaded.last()[0].toBool(), true);

        QCOMPARE(dlg.windowTitle(), QStringLiteral("Security image"));
        QCOMPARE(dlg.EmbeddedWB1->size(), QSize(280, 111));
        const QList<QLabel *> labels = dlg.findChildren<QLabel *>();
        QVERIFY(std::any_of(labels.cbegin(), labels.cend(), [](QLabel *l) {
            return l->text() == QStringLiteral("Please enter the characters in the image");
        }));
        QCOMPARE(dlg.bsSkinButton1->text(), QStringLiteral("Refresh"));
        QCOMPARE(dlg.btnOk->text(), QStringLiteral("Ok"));
        QCOMPARE(dlg.btnCancel->text(), QStringLiteral("Cancel"));
        // Tab order: view, edit box, Refresh, Ok, Cancel.
        QList<QWidget *> chain;
        QWidget *at = dlg.EmbeddedWB1;
        for (int i = 0; i < 5; ++i, at = at->nextInFocusChain()) {
            while (at->focusPolicy() == Qt::NoFocus)
                at = at->nextInFocusChain();
            chain.append(at);
        }
        QCOMPARE(chain, (QList<QWidget *>{dlg.EmbeddedWB1, dlg.edtPassword, dlg.bsSkinButton1,
                                          dlg.btnOk, dlg.btnCancel}));
        // Enter means nothing, even with an answer typed.
        dlg.edtPassword->setFocus();
        QTest::keyClicks(dlg.edtPassword, QStringLiteral("ab c"));
        QTest::keyClick(dlg.edtPassword, Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QVERIFY(msg.shown.isEmpty());

        // Refresh loads the same image again through the same session.
        server.clearRequests();
        QTest::mouseClick(dlg.bsSkinButton1, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(loaded.count() == 2, 10000);
        QCOMPARE(loaded.last()[0].toBool(), true);
        QCOMPARE(targets("/wt/image.php").size(), 1);
        QCOMPARE(server.requests().front().target,
                 dlg.ImageSrc.mid(bytes(server.baseUrl()).size()).toStdString());

        // A failed load and a Refresh after it: no message, still open.
        dlg.ImageSrc = "http://127.0.0.1:1/none.png";
        QTest::mouseClick(dlg.bsSkinButton1, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(loaded.count() == 3, 10000);
        QCOMPARE(loaded.last()[0].toBool(), false);
        QVERIFY(dlg.EmbeddedWB1->pixmap().isNull());
        QTest::mouseClick(dlg.bsSkinButton1, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(loaded.count() == 4, 10000);
        QVERIFY(dlg.isVisible());
        QVERIFY(msg.shown.isEmpty());
        QCOMPARE(dlg.edtPassword->text(), QStringLiteral("ab c"));
        QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    TestKeywords test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_keywords.moc"
