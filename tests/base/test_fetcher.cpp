// The page fetcher against the service emulator over real HTTP: what goes on
// the wire, what comes back, how a request ends, and that the temporary page
// file never outlives a call.

#include "Sandbox.h"
#include "app/FMain.h"
#include "app/TApplication.h"
#include "base/HttpClient.h"
#include "base/RunState.h"
#include "support/ScriptedMessageBox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <set>
#include <stdexcept>

using sandbox::Fault;
Q_DECLARE_METATYPE(sandbox::Fault)

namespace {

QByteArray bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

const QString Failed =
    QStringLiteral("Connection error, check if you are connected and url exists.");
const QString Aborted = QStringLiteral("Process aborted!");
const QString Completed = QStringLiteral("Process completed sucessfull!");

} // namespace

class TestFetcher : public QObject
{
    Q_OBJECT

    sandbox::Sandbox server;
    QTemporaryDir folder;
    TRunState state;
    std::unique_ptr<THttpClient> http;
    QStringList statuses;

    QString programFolder() const { return folder.path() + QLatin1Char('/'); }
    QString tempFile() const { return folder.filePath(QStringLiteral("test.html")); }
    QByteArray google(const QByteArray &query = "golf") const
    {
        return bytes(server.googleBase()) + "/search?q=" + query;
    }
    std::vector<sandbox::RecordedRequest> requests() const { return server.requests(); }
    QByteArray header(const sandbox::RecordedRequest &r, const char *name) const
    {
        QByteArray found;
        for (const auto &[key, value] : r.headers)
            if (QByteArray::fromStdString(key).compare(name, Qt::CaseInsensitive) == 0)
                found = bytes(value);
        return found;
    }

    // Ways a folder refuses "test.html" that hold for root as well: the
    // folder is missing, is a plain file, or has a folder named test.html.
    enum Refusal { Missing, PlainFile, FolderInTheWay };
    static QString refusingFolder(const QTemporaryDir &dir, int how)
    {
        switch (how) {
        case Missing:
            return dir.path() + QStringLiteral("/missing/");
        case PlainFile: {
            QFile file(dir.filePath(QStringLiteral("plain")));
            file.open(QIODevice::WriteOnly);
            return file.fileName() + QLatin1Char('/');
        }
        default:
            QDir(dir.path()).mkdir(QStringLiteral("test.html"));
            return dir.path() + QLatin1Char('/');
        }
    }
    static void refusals()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("folder does not exist") << int(Missing);
        QTest::newRow("folder is a plain file") << int(PlainFile);
        QTest::newRow("test.html is a folder") << int(FolderInTheWay);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.start());
        QVERIFY(folder.isValid());
    }

    void init()
    {
        state = TRunState{};
        http = std::make_unique<THttpClient>(state, programFolder());
        statuses.clear();
        connect(http.get(), &THttpClient::statusText, this,
                [this](const QString &text) { statuses.append(text); });
        server.clearFaults();
        server.clearRequests();
    }

    void cleanup()
    {
        http.reset();
        // Whatever the way out, the temporary page is gone.
        QVERIFY2(!QFileInfo::exists(tempFile()), "test.html left behind");
    }

    void success_sendsFixedHeadersAndReturnsCrLfPage()
    {
        // The raw page, as the server sends it, for comparison.
        const THttpClient::Result raw = http->Get(google());
        QVERIFY(raw.Ok);
        QCOMPARE(raw.Status, 200);
        QVERIFY(raw.Body.contains('\n'));
        QVERIFY(!raw.Body.contains('\r'));

        // Cut the body mid-line so that it ends without a line break.
        server.addFault(Fault{"/google", 0, 0, 0, 0, false, false, int(raw.Body.size()) - 7, 1});
        server.clearRequests();
        QByteArray page = "old";
        QVERIFY(http->FetchPage(google(), page));
        QByteArray expected = raw.Body.left(raw.Body.size() - 7);
        QVERIFY(!expected.endsWith('\n'));
        expected.replace("\n", "\r\n");
        expected += "\r\n";
        QCOMPARE(page, expected);
        QCOMPARE(statuses, (QStringList{QStringLiteral("Getting URL: ") +
                                            QString::fromLatin1(google()) + QStringLiteral("..."),
                                        Completed}));

        const auto sent = requests();
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0].method, std::string("GET"));
        QCOMPARE(sent[0].target, std::string("/google/search?q=golf"));
        QCOMPARE(header(sent[0], "User-Agent"),
                 QByteArray("Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)"));
        QCOMPARE(header(sent[0], "Accept"), QByteArray("text/html, */*"));
        QCOMPARE(header(sent[0], "Content-Type"), QByteArray("text/html"));
        // A compressed answer would hide its length from the gauge.
        QVERIFY(!header(sent[0], "Accept-Encoding").contains("gzip"));
    }

    void statusText_showsEightBitAddressAsMeant_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Windows-1252")
            << QByteArray("golf+caf\xE9") << QStringLiteral("golf+caf\u00E9");
        QTest::newRow("UTF-8") << QByteArray("golf+caf\xC3\xA9")
                               << QStringLiteral("golf+caf\u00E9");
    }
    void statusText_showsEightBitAddressAsMeant()
    {
        QFETCH(QByteArray, query);
        QFETCH(QString, shown);
        QByteArray page;
        QVERIFY(http->FetchPage(google(query), page));
        QCOMPARE(statuses.first(), QStringLiteral("Getting URL: ") +
                                       QString::fromLatin1(google()).chopped(4) + shown +
                                       QStringLiteral("..."));
    }

    void progress_announcesLengthAndEnds()
    {
        server.addFault(Fault{"/google", 0, 0, 0, 0, false, false, 20000, 1});
        QSignalSpy begin(http.get(), &THttpClient::workBegin);
        QSignalSpy work(http.get(), &THttpClient::work);
        QSignalSpy end(http.get(), &THttpClient::workEnd);
        QByteArray page;
        QVERIFY(http->FetchPage(google(), page));
        QCOMPARE(begin.size(), 1);
        QCOMPARE(begin[0][0].toLongLong(), 20000);
        QCOMPARE(work.first()[0].toLongLong(), 0); // the gauge starts from zero
        QCOMPARE(work.last()[0].toLongLong(), 20000);
        QCOMPARE(end.size(), 1);
    }

    void connections_eachRequestOnceOnItsOwnConnection_data()
    {
        QTest::addColumn<Fault>("ending");
        Fault length{"/google"};
        length.pageSize = 6000;
        Fault chunked = length;
        chunked.noContentLength = true;
        Fault closed = length;
        closed.closeDelimited = true;
        QTest::newRow("Content-Length") << length;
        QTest::newRow("chunked") << chunked;
        QTest::newRow("closed by the server") << closed;
    }
    void connections_eachRequestOnceOnItsOwnConnection()
    {
        QFETCH(Fault, ending);
        server.addFault(ending);
        const QByteArrayList queries = {"golf", "golf+clubs", "tennis", "%22golf+balls%22"};
        for (const QByteArray &q : queries) {
            QByteArray page;
            QVERIFY(http->FetchPage(google(q), page));
            QVERIFY(page.size() >= 6000);
            QCOMPARE(statuses.last(), Completed);
        }
        // Two plain requests besides: the client disconnects after those too.
        QVERIFY(http->Get(google("x")).Ok);
        QVERIFY(http->Get(google("y")).Ok);

        QByteArrayList expected = queries;
        expected << "x"
                 << "y";
        const auto sent = requests();
        std::set<int> ports;
        QByteArrayList seen;
        for (const auto &r : sent) {
            QCOMPARE(header(r, "Connection").toLower(), QByteArray("close"));
            ports.insert(r.remotePort);
            if (seen.isEmpty() || seen.last() != bytes(r.query))
                seen.append(bytes(r.query));
        }
        // No connection carried a second request.
        QCOMPARE(ports.size(), sent.size());
        for (QByteArray &q : expected)
            q.prepend("q=");
        QCOMPARE(seen, expected);
        // Each query went out once, whatever ended its body.
        QCOMPARE(sent.size(), size_t(expected.size()));
    }

    void gauge_movesOnlyAgainstAnAnnouncedLength_data()
    {
        QTest::addColumn<Fault>("ending");
        QTest::addColumn<bool>("announced");
        // Pages in two halves, 100 ms apart.
        Fault length{"/google", 0, 100};
        length.pageSize = 60;
        Fault chunked = length;
        chunked.noContentLength = true;
        Fault closed = length;
        closed.closeDelimited = true;
        Fault large = length;
        large.pageSize = 6000;
        QTest::newRow("Content-Length") << large << true;
        QTest::newRow("chunked") << chunked << false;
        QTest::newRow("closed by the server") << closed << false;
    }
    void gauge_movesOnlyAgainstAnAnnouncedLength()
    {
        QFETCH(Fault, ending);
        QFETCH(bool, announced);
        TfrmMain w(Endpoints{}, programFolder());
        // The start-up check's own requests would move the gauge as well.
        w.Timer1->stop();
        w.MainGauge->setValue(77); // left from an earlier page
        QList<int> shown;
        connect(w.MainGauge, &QProgressBar::valueChanged, this,
                [&](int value) { shown.append(value); });
        server.addFault(ending);
        QByteArray page;
        QVERIFY(w.IdHTTP1->FetchPage(google(), page));
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.first(), 0);
        QCOMPARE(shown.last(), w.MainGauge->maximum());
        QCOMPARE(w.MainGauge->text(), QStringLiteral("100%"));
        if (announced) {
            QCOMPARE(w.MainGauge->maximum(), 6000);
        } else {
            // No progress until the end, whatever the byte count.
            QCOMPARE(w.MainGauge->maximum(), 100);
            QCOMPARE(shown, (QList<int>{0, 100}));
        }
    }

    void failures_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("404") << Fault{"/google", 0, 0, 404};
        QTest::newRow("500") << Fault{"/google", 0, 0, 500};
        QTest::newRow("body cut off") << Fault{"/google", 0, 0, 0, 0, true};
        QTest::newRow("404 after redirects") << Fault{"/google", 0, 0, 404, 3};
    }
    void failures()
    {
        QFETCH(Fault, fault);
        server.addFault(fault);
        QByteArray page = "old";
        QVERIFY(!http->FetchPage(google(), page));
        QCOMPARE(page, QByteArray());
        QCOMPARE(statuses.last(), Failed);
    }

    void unknownHost_failsAsConnectionError()
    {
        QByteArray page;
        // Nothing listens on port 1.
        QVERIFY(!http->FetchPage("http://127.0.0.1:1/x", page));
        QCOMPARE(statuses.last(), Failed);
    }

    void redirects_fifteenFollowedSixteenthAnswerIsThePage()
    {
        QByteArray direct;
        QVERIFY(http->FetchPage(google(), direct));

        server.clearRequests();
        server.addFault(Fault{"/google", 0, 0, 0, 15, false, false, 0, 1});
        QByteArray page;
        QVERIFY(http->FetchPage(google(), page));
        QCOMPARE(page, direct);
        QCOMPARE(requests().size(), size_t(16));

        server.clearRequests();
        server.addFault(Fault{"/google", 0, 0, 0, 16, false, false, 0, 1});
        QVERIFY(http->FetchPage(google(), page));
        QCOMPARE(page, QByteArray("redirect-body-16\r\n"));
        QCOMPARE(requests().size(), size_t(16));
        QCOMPARE(statuses.last(), Completed);
    }

    void cookies_comeBackOnLaterRequests()
    {
        QByteArray page;
        QVERIFY(http->FetchPage(bytes(server.suggestBase()) + "/?seed=golf", page));
        // Another path of the same site, through a redirect as well.
        server.addFault(Fault{"/google", 0, 0, 0, 2, false, false, 0, 1});
        QVERIFY(http->FetchPage(google(), page));
        const auto sent = requests();
        QCOMPARE(sent.size(), size_t(4));
        QCOMPARE(header(sent[0], "Cookie"), QByteArray());
        for (size_t i = 1; i < sent.size(); ++i)
            QVERIFY2(header(sent[i], "Cookie").startsWith("wtsession="), sent[i].target.c_str());
    }

    void stopRequestedBefore_sendsNothingAndTouchesNothing()
    {
        state.StopRequested = true;
        QByteArray page = "old";
        QVERIFY(!http->FetchPage(google(), page));
        QCOMPARE(page, QByteArray("old"));
        QVERIFY(statuses.isEmpty());
        QVERIFY(requests().empty());
    }

    void stopDuringSlowBody_abortsAndWindowKeepsRunning()
    {
        server.addFault(Fault{"/google", 0, 4000, 0, 0, false, false, 20000, 1});
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(20);
        int ticksAtStop = -1;
        QTimer::singleShot(300, this, [&] {
            ticksAtStop = ticks;
            // What the Stop button does.
            state.StopRequested = true;
            http->Disconnect();
        });
        QElapsedTimer clock;
        clock.start();
        QByteArray page = "old";
        QVERIFY(!http->FetchPage(google(), page));
        QCOMPARE(page, QByteArray());
        QCOMPARE(statuses.last(), Aborted);
        QVERIFY(!http->IsRunning());
        // The timer went on firing while the request waited.
        QVERIFY2(ticksAtStop >= 5, qPrintable(QString::number(ticksAtStop)));
        qInfo("stopped after %lld ms", clock.elapsed());
    }

    void stopFlagAlone_cutsAtNextProgress()
    {
        // Only the flag, as after an earlier Stop: the next request made by
        // anyone is cut at its first progress event.
        state.StopRequested = true;
        const THttpClient::Result r = http->Get(google());
        QVERIFY(!r.Ok);
        QVERIFY(r.Stopped);
        QVERIFY(r.Body.isEmpty());
        state.StopRequested = false;
        QVERIFY(http->Get(google()).Ok);
    }

    void disconnect_endsEveryWaitingRequest()
    {
        // A request started while another waits (a timer or click inside the
        // wait) is stopped along with it.
        server.addFault(Fault{"/google", 3000, 0, 0, 0, false, false, 0, 2});
        THttpClient::Result inner;
        QTimer::singleShot(100, this, [&] {
            QTimer::singleShot(200, this, [&] { http->Disconnect(); });
            inner = http->Get(google("inner"));
        });
        const THttpClient::Result outer = http->Get(google("outer"));
        QVERIFY(inner.Stopped);
        QVERIFY(outer.Stopped);
        QVERIFY(!http->IsRunning());
    }

    void unwritableProgramFolder_pageGoesThroughTempFolder_data() { refusals(); }
    void unwritableProgramFolder_pageGoesThroughTempFolder()
    {
        QFETCH(int, how);
        QTemporaryDir program, temp;
        THttpClient client(state, refusingFolder(program, how));
        client.SetTempFolder(temp.path());
        const QString tempFile = temp.filePath(QStringLiteral("test.html"));
        QSignalSpy status(&client, &THttpClient::statusText);

        // Held in the middle of its body, to see where the page is written.
        server.addFault(Fault{"/google", 0, 300, 0, 0, false, false, 4000, 1});
        bool existedDuring = false;
        QTimer::singleShot(150, this, [&] { existedDuring = QFileInfo::exists(tempFile); });
        QByteArray page;
        QVERIFY(client.FetchPage(google(), page));
        QVERIFY(existedDuring);
        QVERIFY(page.size() >= 4000);
        QCOMPARE(status.last()[0].toString(), Completed);
        QVERIFY2(!QFileInfo::exists(tempFile), "test.html left in the temporary folder");

        // Removed on the failure and stop paths too.
        server.addFault(Fault{"/google", 0, 0, 404});
        QVERIFY(!client.FetchPage(google(), page));
        QCOMPARE(status.last()[0].toString(), Failed);
        QVERIFY(!QFileInfo::exists(tempFile));
        server.clearFaults();
        state.StopRequested = true;
        QVERIFY(!client.Get(google()).Ok);
        QVERIFY(!QFileInfo::exists(tempFile));
        // The program folder got nothing; a folder in the way is left alone.
        QCOMPARE(QFileInfo(program.filePath(QStringLiteral("test.html"))).isDir(),
                 how == FolderInTheWay);
    }

    void writableProgramFolder_tempFolderUnused()
    {
        QTemporaryDir temp;
        http->SetTempFolder(temp.path() + QStringLiteral("/missing/"));
        QByteArray page;
        QVERIFY(http->FetchPage(google(), page));
        QCOMPARE(statuses.last(), Completed);
    }

    void neitherFolderWritable_throwsBeforeAnyStatus_data() { refusals(); }
    void neitherFolderWritable_throwsBeforeAnyStatus()
    {
        QFETCH(int, how);
        QTemporaryDir program, temp;
        const QString programFolder = refusingFolder(program, how);
        THttpClient client(state, programFolder);
        client.SetTempFolder(refusingFolder(temp, how));
        QSignalSpy status(&client, &THttpClient::statusText);
        QByteArray page = "old";
        try {
            client.FetchPage(google(), page);
            QFAIL("no exception");
        } catch (const std::runtime_error &e) {
            // Named after the file it tried last: the one in the fallback folder.
            QVERIFY2(QString::fromUtf8(e.what()).contains(
                         QDir(client.TempFolder()).filePath(QStringLiteral("test.html"))),
                     e.what());
        }
        QCOMPARE(status.size(), 0);
        QVERIFY(requests().empty());
        QCOMPARE(QFileInfo(program.filePath(QStringLiteral("test.html"))).isDir(),
                 how == FolderInTheWay);
        QCOMPARE(QFileInfo(temp.filePath(QStringLiteral("test.html"))).isDir(),
                 how == FolderInTheWay);
    }

    void unwritableFolder_reachesGeneralErrorHandler()
    {
        ScriptedMessageBox msg;
        Endpoints urls;
        urls.Suggest = bytes(server.suggestBase());
        TfrmMain w(urls, folder.path() + QStringLiteral("/missing/"));
        // The start-up check would fail on the missing folder as well.
        w.Timer1->stop();
        w.IdHTTP1->SetTempFolder(folder.path() + QStringLiteral("/missing/"));
        w.SetMessageBox(&msg);
        TApplication::SetErrorBox(&msg);
        auto reset = qScopeGuard([] { TApplication::SetErrorBox(nullptr); });
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.MainKeyword = "golf";
        w.MainStatusPanel->setText(QStringLiteral("before"));
        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(w.btnGatherKeyword, Qt::LeftButton);
            QCOMPARE(msg.shown.size(), round + 1);
            QCOMPARE(msg.shown.last().type, MsgType::Warning);
            QVERIFY2(msg.shown.last().text.contains(QStringLiteral("test.html")),
                     qPrintable(msg.shown.last().text));
            QCOMPARE(w.MainStatusPanel->text(), QStringLiteral("before"));
            // The command's guard was released on the way out.
            QVERIFY(!w.RunState.Busy);
        }
        QVERIFY(requests().empty());
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    TestFetcher test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_fetcher.moc"
