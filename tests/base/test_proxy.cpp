// Whole Gather Data runs through real proxies started on loopback: an HTTP
// proxy (tinyproxy) and a SOCKS5 proxy with a user name and password
// (microsocks). The counts must be those of a direct run, and the emulator
// must have seen the proxy's connections, not the client's.

#include "app/TApplication.h"
#include "stats/StatsTestSupport.h"

#include <QHeaderView>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port nothing listens on right now.
int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

bool Accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(quint16(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// A proxy program run for one test; stopped when it goes.
class ProxyProcess
{
public:
    ~ProxyProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    // Empty when it listens; else why not.
    QString start(const QString &program, const QStringList &arguments, int port)
    {
        const QString path = QStandardPaths::findExecutable(program);
        if (path.isEmpty())
            return program + QStringLiteral(" is not installed");
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(path, arguments);
        if (!m_process.waitForStarted(5000))
            return program + QStringLiteral(" did not start: ") + m_process.errorString();
        for (int i = 0; i < 250; ++i) {
            if (Accepts(port))
                return {};
            if (m_process.state() == QProcess::NotRunning)
                break;
            QTest::qWait(20);
        }
        return program + QStringLiteral(" does not listen: ") +
               QString::fromLocal8Bit(m_process.readAll());
    }

private:
    QProcess m_process;
};

} // namespace

class TestProxy : public QObject, MainWindowFixture
{
    Q_OBJECT

    const QByteArrayList keywords = {"golf clubs", "tennis", "garden tools for sale"};
    QList<QByteArrayList> direct;

    // One precise run over the keywords with these options: the three counts of each row.
    QList<QByteArrayList> gatherWith(const TNetworkOptions &options)
    {
        box.clearFaults();
        box.clearRequests();
        if (!openWindow())
            return {};
        w->IdHTTP1->SetOptions(options);
        for (const QByteArray &k : keywords)
            list().addRow(k);
        ModalScript script;
        AnswerSearchType(script, 0);
        QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
        QList<QByteArrayList> counts;
        for (int r = 0; r < int(keywords.size()); ++r)
            counts.append({text(r, KeywordRow::Google), text(r, KeywordRow::Yahoo),
                           text(r, KeywordRow::Msn)});
        return counts;
    }

private slots:
    void initTestCase()
    {
        for (const char *name :
             {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            qunsetenv(name);
        QVERIFY(startBox());
        direct = gatherWith(TNetworkOptions{});
        QCOMPARE(direct.size(), int(keywords.size()));
        for (int r = 0; r < int(keywords.size()); ++r)
            for (int e = 0; e < 3; ++e)
                QCOMPARE(direct[r][e], ExpectedCount(EngineNames[e], keywords[r], 0));
        for (const auto &req : box.requests())
            QCOMPARE(req.remoteAddress, std::string("127.0.0.1"));
    }

    void cleanup() { w.reset(); }

    void httpProxy_wholeRunAsDirect()
    {
        const int port = FreePort();
        QTemporaryDir dir;
        QFile conf(dir.filePath(QStringLiteral("tinyproxy.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("Port " + QByteArray::number(port) +
                   "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\nMaxClients 20\n"
                   "LogLevel Critical\n");
        conf.close();
        ProxyProcess proxy;
        const QString why =
            proxy.start(QStringLiteral("tinyproxy"),
                        {QStringLiteral("-d"), QStringLiteral("-c"), conf.fileName()}, port);
        if (!why.isEmpty())
            QSKIP(qPrintable(why));

        TNetworkOptions options;
        options.Proxy.What = TProxyOptions::Kind::Http;
        options.Proxy.Host = QStringLiteral("127.0.0.1");
        options.Proxy.Port = port;
        QCOMPARE(gatherWith(options), direct);
        const auto seen = box.requests();
        QCOMPARE(seen.size(), size_t(keywords.size() * 3));
        // Each request came through the proxy, which names itself.
        for (const auto &r : seen) {
            QByteArray via;
            for (const auto &[k, v] : r.headers)
                if (QByteArray::fromStdString(k).compare("Via", Qt::CaseInsensitive) == 0)
                    via = Bytes(v);
            QVERIFY2(via.contains("tinyproxy"), r.target.c_str());
        }
    }

    void socksProxy_withPassword_wholeRunAsDirect()
    {
        const int port = FreePort();
        ProxyProcess proxy;
        // Its connections onwards leave from an address of their own, so the
        // emulator can tell them from the client's.
        const QString why =
            proxy.start(QStringLiteral("microsocks"),
                        {QStringLiteral("-i"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                         QString::number(port), QStringLiteral("-u"), QStringLiteral("tarn"),
                         QStringLiteral("-P"), QStringLiteral("wick s3cret"), QStringLiteral("-b"),
                         QStringLiteral("127.0.0.2")},
                        port);
        if (!why.isEmpty())
            QSKIP(qPrintable(why));

        TNetworkOptions options;
        options.Proxy.What = TProxyOptions::Kind::Socks5;
        options.Proxy.Host = QStringLiteral("127.0.0.1");
        options.Proxy.Port = port;
        options.Proxy.User = QStringLiteral("tarn");
        options.Proxy.Password = QStringLiteral("wick s3cret");
        QCOMPARE(gatherWith(options), direct);
        const auto seen = box.requests();
        QCOMPARE(seen.size(), size_t(keywords.size() * 3));
        for (const auto &r : seen)
            QCOMPARE(r.remoteAddress, std::string("127.0.0.2"));

        // A wrong password: nothing reaches the emulator, every cell says why.
        options.Proxy.Password = QStringLiteral("wrong");
        const QList<QByteArrayList> failed = gatherWith(options);
        QVERIFY(box.requests().empty());
        for (int r = 0; r < int(keywords.size()); ++r)
            for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c) {
                const TCountSource source = list().source(r, c);
                QCOMPARE(int(source.What), int(TCountSource::Kind::Failed));
                QCOMPARE(source.Reason, QStringLiteral("proxy refused"));
            }
        Q_UNUSED(failed);
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    app.setQuitOnLastWindowClosed(false);
    TestProxy test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_proxy.moc"
