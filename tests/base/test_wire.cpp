// The HTTP client against servers that end, spoil or stall their answers in
// the ways real servers do: what reached the wire, on how many connections,
// who closed them, and the reason a failure reports. Also the private
// folder of the page file and the reading of Retry-After.

#include "Sandbox.h"
#include "WireServer.h"
#include "app/TApplication.h"
#include "base/HttpClient.h"
#include "base/RunState.h"
#include "platform/PrivateFolder.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using sandbox::Fault;
using sandbox::WireMode;
using sandbox::WireSettings;
Q_DECLARE_METATYPE(sandbox::WireMode)

namespace {

QByteArray bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

// Longest time the event loop went without serving a 5 ms timer.
class GapProbe : public QObject
{
public:
    GapProbe()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.elapsed();
            m_worst = qMax(m_worst, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start(5);
    }
    qint64 worst() const { return m_worst; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
};

bool waitUntil(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(10);
    return done();
}

} // namespace

class TestWire : public QObject
{
    Q_OBJECT

    sandbox::Sandbox box;
    sandbox::WireServer wire;
    QTemporaryDir folder;
    TRunState state;
    std::unique_ptr<THttpClient> http;

    QByteArray wireAddress(const QByteArray &query) const
    {
        return bytes(wire.baseUrl()) + "/search?q=" + query;
    }
    void setWire(WireMode mode, int bodySize = 2000)
    {
        WireSettings s;
        s.mode = mode;
        s.bodySize = bodySize;
        wire.setSettings(s);
    }
    // Every connection handled to its end; false when one stays open.
    bool allFinished() const
    {
        return waitUntil(
            [this] { return wire.finishedConnections() == int(wire.connections().size()); });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        QVERIFY(box.start());
        QVERIFY(wire.start());
        // The environment must not lead any request elsewhere.
        for (const char *name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            qunsetenv(name);
    }

    void init()
    {
        state = TRunState{};
        http = std::make_unique<THttpClient>(state, folder.path() + QLatin1Char('/'));
        box.clearFaults();
        box.clearRequests();
        wire.clear();
        setWire(WireMode::Length);
    }

    void cleanup() { http.reset(); }

    // ---- one request per query, each on its own connection -------------------

    void strict_eachQueryOnceOnItsOwnConnectionClosedByTheClient_data()
    {
        QTest::addColumn<WireMode>("mode");
        QTest::newRow("Content-Length") << WireMode::Length;
        QTest::newRow("chunked") << WireMode::Chunked;
        QTest::newRow("ended by close") << WireMode::Close;
        QTest::newRow("server ignores Connection: close") << WireMode::IgnoresClose;
    }
    void strict_eachQueryOnceOnItsOwnConnectionClosedByTheClient()
    {
        QFETCH(WireMode, mode);
        setWire(mode, 3000);
        constexpr int Queries = 200;
        for (int i = 0; i < Queries; ++i) {
            const QByteArray query = "golf+" + QByteArray::number(i);
            QByteArray page;
            QVERIFY2(http->FetchPage(wireAddress(query), page),
                     qPrintable(http->LastResult().Reason));
            // The whole body, nothing more.
            QCOMPARE(page,
                     bytes(sandbox::WireServer::bodyFor("/search?q=" + query.toStdString(), 3000))
                         .replace("\n", "\r\n"));
        }
        QVERIFY2(allFinished(), "a connection was left open");
        const auto seen = wire.connections();
        QCOMPARE(int(seen.size()), Queries);
        std::set<int> ports;
        for (int i = 0; i < Queries; ++i) {
            const sandbox::WireConnection &c = seen[size_t(i)];
            QCOMPARE(int(c.targets.size()), 1);
            QCOMPARE(bytes(c.targets[0]), "/search?q=golf+" + QByteArray::number(i));
            QCOMPARE(bytes(c.connectionHeaders[0]).toLower(), QByteArray("close"));
            QVERIFY2(c.clientClosed, qPrintable(QStringLiteral("connection %1").arg(i)));
            ports.insert(c.remotePort);
        }
        QCOMPARE(int(ports.size()), Queries);
    }

    // ---- why a request failed ------------------------------------------------

    void failures_carryTheirReason_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<int>("wireMode"); // -1: the address alone
        QTest::addColumn<int>("readTimeoutMs");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("status");
        // Nothing listens on port 1.
        QTest::newRow("refused") << QByteArray("http://127.0.0.1:1/x") << -1 << 0
                                 << QStringLiteral("connection refused") << 0;
        // A label longer than 63 bytes: the resolver refuses it without asking anyone.
        QTest::newRow("unknown host") << ("http://" + QByteArray(64, 'x') + ".tarnwick.invalid/x")
                                      << -1 << 0 << QStringLiteral("host not found") << 0;
        QTest::newRow("404") << QByteArray() << int(WireMode::Status) << 0
                             << QStringLiteral("HTTP 404 Not Found") << 404;
        QTest::newRow("dropped mid-body") << QByteArray() << int(WireMode::DropMidBody) << 0
                                          << QStringLiteral("the connection dropped") << 200;
        QTest::newRow("read time-out")
            << QByteArray() << int(WireMode::Silent) << 300 << QStringLiteral("timed out") << 0;
    }
    void failures_carryTheirReason()
    {
        QFETCH(QByteArray, address);
        QFETCH(int, wireMode);
        QFETCH(int, readTimeoutMs);
        QFETCH(QString, reason);
        QFETCH(int, status);
        if (wireMode >= 0) {
            setWire(WireMode(wireMode), 20000);
            address = wireAddress("golf");
        }
        TNetworkOptions options;
        options.ReadTimeoutMs = readTimeoutMs;
        http->SetOptions(options);
        QSignalSpy texts(http.get(), &THttpClient::statusText);
        QByteArray page = "old";
        QVERIFY(!http->FetchPage(address, page));
        QCOMPARE(page, QByteArray());
        const THttpClient::Result &r = http->LastResult();
        QVERIFY(!r.Ok);
        QVERIFY(!r.Stopped);
        QCOMPARE(r.Reason, reason);
        QCOMPARE(r.Status, status);
        // The status bar keeps its general text.
        QCOMPARE(texts.last()[0].toString(),
                 QStringLiteral("Connection error, check if you are connected and url exists."));
        if (wireMode >= 0) {
            QVERIFY(allFinished());
            QCOMPARE(int(wire.connections().size()), 1);
        }
    }

    void tooManyRequests_reportsRetryAfter_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<int>("seconds");
        QTest::newRow("seconds") << QByteArray("120") << 120;
        QTest::newRow("garbage") << QByteArray("soon") << -1;
        QTest::newRow("huge") << QByteArray("999999999999") << THttpClient::MaxRetryAfterSeconds;
        QTest::newRow("date in the past") << QByteArray("Wed, 21 Oct 2015 07:28:00 GMT") << 0;
    }
    void tooManyRequests_reportsRetryAfter()
    {
        QFETCH(QByteArray, header);
        QFETCH(int, seconds);
        WireSettings s;
        s.mode = WireMode::TooManyRequests;
        s.retryAfter = header.toStdString();
        wire.setSettings(s);
        const THttpClient::Result r = http->Get(wireAddress("golf"));
        QVERIFY(!r.Ok);
        QCOMPARE(r.Status, 429);
        QCOMPARE(r.Reason, QStringLiteral("HTTP 429 Too Many Requests"));
        QCOMPARE(r.RetryAfterSeconds, seconds);
        // Never sent again by the client.
        QVERIFY(allFinished());
        QCOMPARE(int(wire.connections().size()), 1);
    }

    void retryAfter_readsSecondsAndDates_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("seconds");
        const qint64 now = 1'700'000'000;
        const QDateTime base = QDateTime::fromSecsSinceEpoch(now, Qt::UTC);
        QTest::newRow("zero") << QByteArray("0") << 0;
        QTest::newRow("spaces") << QByteArray("  30 ") << 30;
        QTest::newRow("negative") << QByteArray("-5") << -1;
        QTest::newRow("fraction") << QByteArray("1.5") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("leading zeros") << QByteArray("0000000000007") << 7;
        QTest::newRow("more than a day")
            << QByteArray("90000") << THttpClient::MaxRetryAfterSeconds;
        QTest::newRow("date ahead") << base.addSecs(90).toString(Qt::RFC2822Date).toLatin1() << 90;
        QTest::newRow("date behind") << base.addSecs(-90).toString(Qt::RFC2822Date).toLatin1() << 0;
        QTest::newRow("date a year ahead") << base.addYears(1).toString(Qt::RFC2822Date).toLatin1()
                                           << THttpClient::MaxRetryAfterSeconds;
        QTest::newRow("broken date") << QByteArray("Wed, 99 Foo 2015 07:28:00 GMT") << -1;
    }
    void retryAfter_readsSecondsAndDates()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, seconds);
        QCOMPARE(THttpClient::ParseRetryAfter(value, 1'700'000'000), seconds);
    }

    void redirectLoop_endsAtTheSixteenthAnswer()
    {
        // A chain far longer than the limit: 15 followed, the 16th answer is
        // returned, nothing beyond it is asked for.
        box.addFault(Fault{"/google", 0, 0, 0, 40, false, false, 0, 1});
        const THttpClient::Result r = http->Get(bytes(box.googleBase()) + "/search?q=golf");
        QVERIFY(r.Ok);
        QCOMPARE(r.Status, 302);
        QCOMPARE(r.Body, QByteArray("redirect-body-16"));
        QCOMPARE(box.requests().size(), size_t(16));
    }

    void largeBody_arrivesWholeWithItsProgress()
    {
        constexpr int Size = 6 * 1024 * 1024;
        setWire(WireMode::Length, Size);
        QSignalSpy begin(http.get(), &THttpClient::workBegin);
        QSignalSpy work(http.get(), &THttpClient::work);
        const THttpClient::Result r = http->Get(wireAddress("big"));
        QVERIFY(r.Ok);
        QCOMPARE(r.Body.size(), Size);
        QCOMPARE(r.Body, bytes(sandbox::WireServer::bodyFor("/search?q=big", Size)));
        QCOMPARE(begin.size(), 1);
        QCOMPARE(begin[0][0].toLongLong(), qint64(Size));
        QCOMPARE(work.last()[0].toLongLong(), qint64(Size));
    }

    void readTimeout_offByDefault_andKeptAliveByATrickle()
    {
        // Gaps of 150 ms against a 600 ms read time-out: alive all the way.
        WireSettings s;
        s.mode = WireMode::Trickle;
        s.bodySize = 1000;
        s.trickleBytes = 250;
        s.trickleMs = 150;
        wire.setSettings(s);
        TNetworkOptions options;
        options.ReadTimeoutMs = 600;
        http->SetOptions(options);
        THttpClient::Result r = http->Get(wireAddress("slow"));
        QVERIFY2(r.Ok, qPrintable(r.Reason));
        QCOMPARE(r.Body.size(), 1000);

        // Without a read time-out a silent server is waited for until Stop.
        setWire(WireMode::Silent);
        http->SetOptions(TNetworkOptions{});
        QTimer::singleShot(1500, this, [this] { http->Disconnect(); });
        r = http->Get(wireAddress("silent"));
        QVERIFY(r.Stopped);
        QVERIFY(r.Reason.isEmpty());
    }

    void timeoutMs_limitsTheWholeRequest()
    {
        setWire(WireMode::Silent);
        const THttpClient::Result r = http->Get(wireAddress("x"), nullptr, 300);
        QVERIFY(!r.Ok);
        QVERIFY(!r.Stopped);
        QCOMPARE(r.Reason, QStringLiteral("timed out"));
    }

    // ---- Stop ----------------------------------------------------------------

    void stop_duringSlowRequest_endsItAndTheWindowKeepsRunning()
    {
        WireSettings s;
        s.mode = WireMode::Trickle;
        s.bodySize = 20000;
        s.trickleBytes = 50;
        s.trickleMs = 50;
        wire.setSettings(s);
        GapProbe probe;
        QElapsedTimer sinceStop;
        QTimer::singleShot(400, this, [&] {
            // What the Stop button does.
            state.StopRequested = true;
            http->Disconnect();
            sinceStop.start();
        });
        QByteArray page = "old";
        QVERIFY(!http->FetchPage(wireAddress("slow"), page));
        const qint64 stopMs = sinceStop.elapsed();
        QVERIFY(http->LastResult().Stopped);
        QCOMPARE(page, QByteArray());
        QVERIFY(!http->IsRunning());
        QVERIFY(allFinished());
        QVERIFY(wire.connections().at(0).clientClosed);
        // Time is reported, not asserted; the bench measures it properly.
        qInfo("stop took %lld ms; longest event-loop gap %lld ms", stopMs, probe.worst());
    }

    void stopFlagSet_nothingIsSent()
    {
        state.StopRequested = true;
        const THttpClient::Result get = http->Get(bytes(box.googleBase()) + "/search?q=golf");
        const THttpClient::Result post =
            http->PostMultipart(bytes(box.newsBase()) + "getlastnews.php", {{"a", "1"}});
        QVERIFY(get.Stopped && !get.Ok);
        QVERIFY(post.Stopped && !post.Ok);
        QTest::qWait(100);
        QVERIFY(box.requests().empty());
    }

    void stop_duringUpload_endsThePost_data()
    {
        QTest::addColumn<bool>("disconnect");
        QTest::newRow("Stop button") << true;
        QTest::newRow("stop flag alone") << false;
    }
    void stop_duringUpload_endsThePost()
    {
        QFETCH(bool, disconnect);
        // The server never reads the body: the upload stalls once the
        // socket buffers are full.
        setWire(WireMode::Silent);
        const QByteArray big(48 * 1024 * 1024, 'x');
        QTimer::singleShot(400, this, [&] {
            state.StopRequested = true;
            if (disconnect)
                http->Disconnect();
        });
        QElapsedTimer clock;
        clock.start();
        const THttpClient::Result r =
            http->PostMultipart(bytes(wire.baseUrl()) + "/upload", {{"file", big}});
        QVERIFY(r.Stopped);
        QVERIFY(!r.Ok);
        QVERIFY2(clock.elapsed() < 30000, "the upload was not ended");
        QVERIFY(allFinished());
        const sandbox::WireConnection c = wire.connections().at(0);
        QVERIFY(c.clientClosed);
        // Cut in the middle: the server got only part of the body.
        QVERIFY2(c.bytesAfterHead > 0 && c.bytesAfterHead < big.size(),
                 qPrintable(QString::number(c.bytesAfterHead)));
    }

    // ---- proxy settings --------------------------------------------------------

    void proxyNone_ignoresTheEnvironment_systemFollowsIt()
    {
        // A proxy variable pointing at a port where nothing listens.
        qputenv("http_proxy", "http://127.0.0.1:1");
        auto reset = qScopeGuard([] { qunsetenv("http_proxy"); });
        const QByteArray address = bytes(box.googleBase()) + "/search?q=golf";
        QVERIFY(http->Get(address).Ok);
        TNetworkOptions system;
        system.Proxy.What = TProxyOptions::Kind::System;
        http->SetOptions(system);
        const THttpClient::Result r = http->Get(address);
        QVERIFY(!r.Ok);
        QCOMPARE(r.Reason, QStringLiteral("proxy refused"));
        QCOMPARE(box.requests().size(), size_t(1));
    }

    void proxyDown_reportsProxyRefused_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("HTTP") << int(TProxyOptions::Kind::Http);
        QTest::newRow("SOCKS5") << int(TProxyOptions::Kind::Socks5);
    }
    void proxyDown_reportsProxyRefused()
    {
        QFETCH(int, kind);
        TNetworkOptions options;
        options.Proxy.What = TProxyOptions::Kind(kind);
        options.Proxy.Host = QStringLiteral("127.0.0.1");
        options.Proxy.Port = 1;
        http->SetOptions(options);
        const THttpClient::Result r = http->Get(bytes(box.googleBase()) + "/search?q=golf");
        QVERIFY(!r.Ok);
        QCOMPARE(r.Reason, QStringLiteral("proxy refused"));
        QVERIFY(box.requests().empty());
    }

    // ---- the asynchronous fetches ---------------------------------------------

    void async_sharesCookiesAndCanBeCancelled()
    {
        // A session cookie from a blocking request goes with a picture.
        QVERIFY(http->Get(bytes(box.suggestBase()) + "/?seed=golf").Ok);
        box.clearRequests();
        THttpClient::Result got;
        int calls = 0;
        http->GetAsync(bytes(box.newsBase()) + "pictures/a.png", "image/*, */*", this,
                       [&](const THttpClient::Result &r) {
                           got = r;
                           ++calls;
                       });
        QVERIFY(waitUntil([&] { return calls == 1; }));
        QVERIFY(got.Ok);
        QVERIFY(got.Body.startsWith("\x89PNG"));
        const auto sent = box.requests();
        QCOMPARE(sent.size(), size_t(1));
        bool cookie = false;
        for (const auto &[k, v] : sent[0].headers)
            cookie = cookie || (k == "Cookie" && v.find("wtsession=") == 0);
        QVERIFY(cookie);

        // Cancelled, or its context gone: never called back, the connection closed.
        setWire(WireMode::Silent);
        const auto handle = http->GetAsync(wireAddress("a"), {}, this,
                                           [&](const THttpClient::Result &) { ++calls; });
        auto context = std::make_unique<QObject>();
        http->GetAsync(wireAddress("b"), {}, context.get(),
                       [&](const THttpClient::Result &) { ++calls; });
        QVERIFY(waitUntil([&] { return wire.connections().size() == 2; }));
        http->Cancel(handle);
        context.reset();
        QVERIFY(allFinished());
        for (const auto &c : wire.connections())
            QVERIFY(c.clientClosed);
        QTest::qWait(50);
        QCOMPARE(calls, 1);
    }

    // ---- form posts ------------------------------------------------------------

    void multipart_boundaryIsATokenAndAStrictServerReadsEveryPost()
    {
        const QByteArray address = bytes(box.newsBase()) + "getlastnews.php";
        const QList<QPair<QByteArray, QByteArray>> fields = {
            {"memusername", sandbox::kDefaultPublisherId},
            {"prodcode", sandbox::kDefaultProdCode},
            {"prodtype", "BM"},
            {"conttype", "all"},
            {"newstarget", "UA"},
            {"something", ""}};
        for (int i = 0; i < 40; ++i) {
            const THttpClient::Result r = http->PostMultipart(address, fields);
            QVERIFY2(r.Ok, qPrintable(r.Reason));
            QCOMPARE(r.Body, QByteArray("OK"));
        }
        static const QByteArray allowed =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789'-_.+";
        for (const auto &r : box.requests()) {
            QByteArray type;
            for (const auto &[k, v] : r.headers)
                if (k == "Content-Type")
                    type = bytes(v);
            QVERIFY2(type.startsWith("multipart/form-data; boundary="), type.constData());
            const QByteArray boundary = type.mid(30);
            QVERIFY(!boundary.isEmpty() && boundary.size() <= 70);
            for (char c : boundary)
                QVERIFY2(allowed.contains(c), type.constData());
        }
    }

    // ---- the private folder of the page file ----------------------------------

    void privateFolder_runtimeFolderOrOneMadeForTheRun()
    {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        auto restore = qScopeGuard([&] {
            if (saved.isEmpty())
                qunsetenv("XDG_RUNTIME_DIR");
            else
                qputenv("XDG_RUNTIME_DIR", saved);
        });
        QTemporaryDir runtime;
        QVERIFY(QFile::setPermissions(runtime.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QCOMPARE(PrivateRunFolder(), runtime.path() + QStringLiteral("/tarnwick"));

        // A runtime folder others may enter does not count.
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ExeOwner | QFile::ReadOther |
                                                          QFile::ExeOther));
        for (const QByteArray &value : {QFile::encodeName(runtime.path()), QByteArray()}) {
            qputenv("XDG_RUNTIME_DIR", value);
            const QString made = PrivateRunFolder();
            QVERIFY(!made.isEmpty());
            QVERIFY(!made.startsWith(runtime.path()));
            struct stat st;
            QCOMPARE(lstat(QFile::encodeName(made).constData(), &st), 0);
            QVERIFY(S_ISDIR(st.st_mode));
            QCOMPARE(st.st_uid, geteuid());
            QCOMPARE(int(st.st_mode & 0777), 0700);
        }
    }

    void privateFile_neverFollowsALinkOrTakesAnotherName()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target"));
        QFile t(target);
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write("keep");
        t.close();
        QString error;
        QFile file;

        const QString link = dir.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(target, link));
        QVERIFY(!platform::OpenPrivateFileForWriting(file, link, &error));
        QVERIFY(!error.isEmpty());

        const QString second = dir.filePath(QStringLiteral("second"));
        QCOMPARE(
            ::link(QFile::encodeName(target).constData(), QFile::encodeName(second).constData()),
            0);
        QVERIFY(!platform::OpenPrivateFileForWriting(file, second, &error));

        QFile check(target);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("keep"));

        const QString fresh = dir.filePath(QStringLiteral("fresh"));
        QVERIFY(platform::OpenPrivateFileForWriting(file, fresh, &error));
        file.write("x");
        file.close();
        struct stat st;
        QCOMPARE(stat(QFile::encodeName(fresh).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);
    }

    void pageFile_linkPlantedInTheFallback_isRefusedAndNamed()
    {
        QTemporaryDir fallback;
        QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath(QStringLiteral("victim"));
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write("precious");
        v.close();
        QVERIFY(QFile::link(victim, fallback.filePath(QStringLiteral("test.html"))));

        THttpClient client(state, folder.path() + QStringLiteral("/missing/"));
        client.SetTempFolder(fallback.path());
        QByteArray page;
        try {
            client.FetchPage(bytes(box.googleBase()) + "/search?q=golf", page);
            QFAIL("no exception");
        } catch (const std::runtime_error &e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(
                         fallback.filePath(QStringLiteral("test.html"))),
                     e.what());
        }
        QFile check(victim);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("precious"));
        QVERIFY(box.requests().empty());
    }

    void pageFile_defaultFallbackIsThePrivateFolder()
    {
        THttpClient client(state, folder.path() + QStringLiteral("/missing/"));
        QCOMPARE(client.TempFolder(), PrivateRunFolder());
        QByteArray page;
        QVERIFY(client.FetchPage(bytes(box.googleBase()) + "/search?q=golf", page));
        QVERIFY(!QFileInfo::exists(QDir(PrivateRunFolder()).filePath(QStringLiteral("test.html"))));
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    TestWire test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_wire.moc"
