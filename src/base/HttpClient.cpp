#include "base/HttpClient.h"

#include "base/ScreenText.h"
#include "base/TextLines.h"
#include "platform/PrivateFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTimer>
#include <curl/curl.h>
#include <memory>
#include <stdexcept>

namespace {

const QByteArray UserAgent = "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)";

void GlobalInit()
{
    static const bool done = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    Q_UNUSED(done);
}

// Callers may leave a few bytes raw that never belong in a request line:
// escape only those and leave everything else exactly as built. The
// fragment is never sent.
QByteArray WireAddress(const QByteArray &address)
{
    static const QByteArray hex = "0123456789ABCDEF";
    QByteArray escaped;
    escaped.reserve(address.size() + 16);
    for (qsizetype i = 0; i < address.size(); ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
        if (c == '#')
            break;
        const bool validPercent = c == '%' && i + 2 < address.size() &&
                                  isxdigit(static_cast<unsigned char>(address[i + 1])) &&
                                  isxdigit(static_cast<unsigned char>(address[i + 2]));
        if (c <= 0x20 || c >= 0x7F || (c == '%' && !validPercent) ||
            QByteArray("\"<>\\^`{|}").contains(static_cast<char>(c))) {
            escaped += '%';
            escaped += hex[c >> 4];
            escaped += hex[c & 15];
        } else {
            escaped += static_cast<char>(c);
        }
    }
    return escaped;
}

bool IsRedirect(int status)
{
    return status >= 300 && status < 400;
}

// Characters that RFC 2045 allows in an unquoted parameter value, and that
// no multipart parser reads as the end of the boundary.
QByteArray NewBoundary()
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray boundary = "----TarnwickFormBoundary";
    for (int i = 0; i < 24; ++i)
        boundary += alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet) - 1)];
    return boundary;
}

QByteArray MultipartBody(const QList<QPair<QByteArray, QByteArray>> &fields, QByteArray &boundary)
{
    for (;;) {
        boundary = NewBoundary();
        bool clash = false;
        for (const auto &[name, value] : fields)
            clash = clash || value.contains(boundary) || name.contains(boundary);
        if (!clash)
            break;
    }
    QByteArray body;
    for (const auto &[name, value] : fields) {
        body += "--" + boundary + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n";
        body += value;
        body += "\r\n";
    }
    body += "--" + boundary + "--\r\n";
    return body;
}

} // namespace

int THttpClient::ParseRetryAfter(const QByteArray &raw, qint64 nowSecs)
{
    const QByteArray value = raw.trimmed();
    if (value.isEmpty())
        return -1;
    bool digits = true;
    for (char c : value)
        digits = digits && c >= '0' && c <= '9';
    if (digits) {
        // Leading zeros and huge numbers alike: only the size matters.
        QByteArray significant = value;
        while (significant.size() > 1 && significant.startsWith('0'))
            significant.remove(0, 1);
        if (significant.size() > 9)
            return MaxRetryAfterSeconds;
        return int(qMin(significant.toLongLong(), qint64(MaxRetryAfterSeconds)));
    }
    // An HTTP date (RFC 7231 IMF-fixdate; RFC 2822 covers it).
    QString text = QString::fromLatin1(value);
    // HTTP writes the zone of its dates as "GMT".
    for (const QLatin1String zone : {QLatin1String(" GMT"), QLatin1String(" UTC")})
        if (text.endsWith(zone, Qt::CaseInsensitive))
            text = text.left(text.size() - zone.size()) + QStringLiteral(" +0000");
    const QDateTime when = QDateTime::fromString(text, Qt::RFC2822Date);
    if (!when.isValid())
        return -1;
    const qint64 wait = when.toSecsSinceEpoch() - nowSecs;
    return int(qBound(qint64(0), wait, qint64(MaxRetryAfterSeconds)));
}

// ---- one transfer -------------------------------------------------------------

// What libcurl's callbacks get: the transfer, or nothing once the transfer
// has let go of a handle that libcurl may still call.
struct THttpLink
{
    THttpTransfer *T;
};

struct THttpTransfer
{
    THttpClient *Client = nullptr;
    CURL *Easy = nullptr;
    THttpLink *Link = nullptr; // with Easy
    curl_slist *Headers = nullptr;
    bool Blocking = true;
    bool Running = false; // inside the multi handle

    // The request of the current hop.
    QByteArray Url;
    bool Post = false;
    QByteArray PostBody;
    QByteArray Boundary;
    QByteArray Accept = "text/html, */*";
    QIODevice *Sink = nullptr;
    int Hops = 0;
    int MaxHops = THttpClient::MaxRedirects;
    QElapsedTimer Clock;
    int TimeoutMs = 0;

    // The answer of the current hop.
    int Status = 0;
    QByteArray Phrase;
    QByteArray RetryAfter;
    bool HasLocation = false;
    bool HeadersDone = false;
    bool IsFinal = true;
    bool Begun = false;
    qint64 Announced = -1;
    bool Chunked = false;
    qint64 Received = 0;
    QByteArray Buffer;
    bool SinkFailed = false;

    // How it ended.
    bool Done = false;
    bool Stopped = false;
    bool IdleTimedOut = false;
    int Code = 0;
    char Error[CURL_ERROR_SIZE] = {};

    QTimer *Idle = nullptr; // read time-out
    QEventLoop *Loop = nullptr;

    // Asynchronous fetches.
    THttpClient::AsyncHandle Handle = 0;
    QPointer<QObject> Context;
    std::function<void(const THttpClient::Result &)> Callback;
    QMetaObject::Connection ContextGone;

    ~THttpTransfer()
    {
        delete Idle;
        if (Easy)
            curl_easy_cleanup(Easy);
        delete Link;
        if (Headers)
            curl_slist_free_all(Headers);
    }

    void ResetAnswer()
    {
        Status = 0;
        Phrase.clear();
        RetryAfter.clear();
        HasLocation = false;
        HeadersDone = false;
        IsFinal = true;
        Announced = -1;
        Chunked = false;
        Received = 0;
        Buffer.clear();
    }

    void Touch()
    {
        if (Idle)
            Idle->start();
    }

    static size_t OnHeader(char *data, size_t size, size_t count, void *self)
    {
        THttpTransfer *t = static_cast<THttpLink *>(self)->T;
        const size_t n = size * count;
        if (!t || t->Stopped)
            return 0;
        t->Touch();
        const QByteArray line = QByteArray(data, qsizetype(n)).trimmed();
        if (line.startsWith("HTTP/")) {
            // A new answer: an interim 100 or the real one.
            const qsizetype a = line.indexOf(' ');
            const qsizetype b = a < 0 ? -1 : line.indexOf(' ', a + 1);
            const qint64 keepReceived = t->Received;
            t->ResetAnswer();
            t->Received = keepReceived;
            t->Status = line.mid(a + 1, b < 0 ? -1 : b - a - 1).toInt();
            t->Phrase = b < 0 ? QByteArray() : line.mid(b + 1);
            return n;
        }
        if (line.isEmpty()) {
            if (t->Status >= 100 && t->Status < 200)
                return n;
            t->HeadersDone = true;
            t->IsFinal = !(IsRedirect(t->Status) && t->HasLocation && t->Hops < t->MaxHops);
            if (t->Chunked)
                t->Announced = -1;
            if (t->Blocking) {
                t->Begun = true;
                emit t->Client->workBegin(t->Announced);
            }
            return n;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return n;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "location")
            t->HasLocation = !value.isEmpty();
        else if (name == "retry-after")
            t->RetryAfter = value;
        else if (name == "content-length") {
            bool ok = false;
            const qint64 length = value.toLongLong(&ok);
            t->Announced = ok && length >= 0 ? length : -1;
        } else if (name == "transfer-encoding")
            t->Chunked = value.toLower().contains("chunked");
        return n;
    }

    static size_t OnBody(char *data, size_t size, size_t count, void *self)
    {
        THttpTransfer *t = static_cast<THttpLink *>(self)->T;
        const size_t n = size * count;
        if (!t || t->Stopped)
            return 0;
        t->Touch();
        t->Received += qint64(n);
        if (t->IsFinal) {
            if (t->Sink) {
                if (t->Sink->write(data, qint64(n)) != qint64(n)) {
                    t->SinkFailed = true;
                    return 0;
                }
            } else {
                t->Buffer.append(data, qsizetype(n));
            }
        }
        if (t->Blocking)
            emit t->Client->work(t->Received);
        return n;
    }

    static int OnProgress(void *self, curl_off_t, curl_off_t dlNow, curl_off_t, curl_off_t ulNow)
    {
        THttpTransfer *t = static_cast<THttpLink *>(self)->T;
        if (!t || t->Stopped)
            return 1;
        if (t->Blocking && t->Client->m_state.StopRequested) {
            t->Stopped = true;
            return 1;
        }
        // Any movement either way counts as the server being alive.
        if (ulNow > 0 || dlNow > 0) {
            const qint64 moved = qint64(ulNow) + qint64(dlNow);
            if (moved != t->LastMoved) {
                t->LastMoved = moved;
                t->Touch();
            }
        }
        return 0;
    }
    qint64 LastMoved = 0;
};

// ---- libcurl on the Qt event loop ---------------------------------------------

struct THttpClient::Driver
{
    THttpClient *Client;
    CURLM *Multi = nullptr;
    CURLSH *Share = nullptr;
    QTimer Timer;
    bool InAction = false;

    struct Socket
    {
        curl_socket_t Fd;
        std::unique_ptr<QSocketNotifier> Read, Write;
    };

    explicit Driver(THttpClient *client) : Client(client)
    {
        GlobalInit();
        Share = curl_share_init();
        // Cookies in memory only, for every request of the run.
        curl_share_setopt(Share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        Multi = curl_multi_init();
        curl_multi_setopt(Multi, CURLMOPT_SOCKETFUNCTION, &Driver::OnSocket);
        curl_multi_setopt(Multi, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(Multi, CURLMOPT_TIMERFUNCTION, &Driver::OnTimer);
        curl_multi_setopt(Multi, CURLMOPT_TIMERDATA, this);
        Timer.setSingleShot(true);
        QObject::connect(&Timer, &QTimer::timeout, Client,
                         [this] { Action(CURL_SOCKET_TIMEOUT, 0); });
    }

    ~Driver()
    {
        curl_multi_cleanup(Multi);
        curl_share_cleanup(Share);
    }

    static int OnSocket(CURL *, curl_socket_t fd, int what, void *self, void *assigned)
    {
        auto *d = static_cast<Driver *>(self);
        auto *socket = static_cast<Socket *>(assigned);
        if (what == CURL_POLL_REMOVE) {
            if (socket) {
                curl_multi_assign(d->Multi, fd, nullptr);
                d->Retire(socket);
            }
            return 0;
        }
        if (!socket) {
            socket = new Socket{fd, nullptr, nullptr};
            curl_multi_assign(d->Multi, fd, socket);
        }
        d->Watch(socket, QSocketNotifier::Read, what == CURL_POLL_IN || what == CURL_POLL_INOUT);
        d->Watch(socket, QSocketNotifier::Write, what == CURL_POLL_OUT || what == CURL_POLL_INOUT);
        return 0;
    }

    void Watch(Socket *socket, QSocketNotifier::Type type, bool on)
    {
        std::unique_ptr<QSocketNotifier> &slot =
            type == QSocketNotifier::Read ? socket->Read : socket->Write;
        if (!on) {
            if (slot)
                slot->setEnabled(false);
            return;
        }
        if (!slot) {
            slot = std::make_unique<QSocketNotifier>(qintptr(socket->Fd), type);
            const int flag = type == QSocketNotifier::Read ? CURL_CSELECT_IN : CURL_CSELECT_OUT;
            const curl_socket_t fd = socket->Fd;
            QObject::connect(slot.get(), &QSocketNotifier::activated, Client,
                             [this, fd, flag] { Action(fd, flag); });
        }
        slot->setEnabled(true);
    }

    // The notifiers may be the ones whose signal is running: they go later.
    void Retire(Socket *socket)
    {
        for (auto *slot : {&socket->Read, &socket->Write}) {
            if (*slot) {
                (*slot)->setEnabled(false);
                QObject::disconnect(slot->get(), nullptr, Client, nullptr);
                slot->release()->deleteLater();
            }
        }
        delete socket;
    }

    static int OnTimer(CURLM *, long timeoutMs, void *self)
    {
        auto *d = static_cast<Driver *>(self);
        if (timeoutMs < 0)
            d->Timer.stop();
        else
            d->Timer.start(int(qMin<long>(timeoutMs, INT_MAX)));
        return 0;
    }

    void Action(curl_socket_t fd, int flags)
    {
        if (InAction) {
            // A slot of ours ran an event loop inside a libcurl callback:
            // libcurl takes no nested call, so this waits for the next turn.
            QTimer::singleShot(0, Client, [this, fd, flags] { Action(fd, flags); });
            return;
        }
        int running = 0;
        InAction = true;
        curl_multi_socket_action(Multi, fd, flags, &running);
        InAction = false;
        Collect();
    }

    void Collect()
    {
        int left = 0;
        while (CURLMsg *msg = curl_multi_info_read(Multi, &left)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            THttpLink *link = nullptr;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &link);
            const int code = msg->data.result;
            if (link && link->T)
                Client->FinishTransfer(*link->T, code);
        }
    }

    void Remove(THttpTransfer &t)
    {
        if (!t.Running)
            return;
        t.Running = false;
        if (InAction) {
            // Never from inside libcurl: the handle leaves on the next turn,
            // and by then it only has to be cleaned up.
            CURL *easy = t.Easy;
            THttpLink *link = t.Link;
            link->T = nullptr;
            t.Easy = nullptr;
            t.Link = nullptr;
            QTimer::singleShot(0, Client, [this, easy, link] {
                curl_multi_remove_handle(Multi, easy);
                curl_easy_cleanup(easy);
                delete link;
            });
            return;
        }
        curl_multi_remove_handle(Multi, t.Easy);
    }
};

// ---- the client -------------------------------------------------------------

THttpClient::THttpClient(TRunState &state, const QString &programFolder, QObject *parent)
    : QObject(parent), m_state(state), m_programFolder(programFolder),
      m_tempFolder(PrivateRunFolder()), m_driver(new Driver(this))
{
}

THttpClient::~THttpClient()
{
    // Waiting calls return as stopped; they no longer touch this object.
    const QList<THttpTransfer *> blocking = m_blocking;
    for (THttpTransfer *t : blocking) {
        t->Stopped = true;
        m_driver->Remove(*t);
        if (t->Easy) {
            curl_easy_setopt(t->Easy, CURLOPT_SHARE, nullptr);
            curl_easy_cleanup(t->Easy);
            t->Easy = nullptr;
        }
        t->Client = nullptr;
        if (t->Loop)
            t->Loop->quit();
    }
    const QList<AsyncHandle> handles = m_async.keys();
    for (AsyncHandle h : handles)
        DropAsync(h);
    delete m_driver;
}

bool THttpClient::IsRunning() const
{
    return !m_blocking.isEmpty();
}

void THttpClient::Disconnect()
{
    const QList<THttpTransfer *> running = m_blocking;
    for (THttpTransfer *t : running) {
        t->Stopped = true;
        if (!t->Done) {
            m_driver->Remove(*t);
            t->Done = true;
            if (t->Loop)
                t->Loop->quit();
        }
    }
}

bool THttpClient::StartTransfer(THttpTransfer &t)
{
    if (!t.Easy) {
        t.Easy = curl_easy_init();
        if (!t.Easy)
            return false;
        delete t.Link;
        t.Link = new THttpLink{&t};
    } else {
        curl_easy_reset(t.Easy);
    }
    if (t.Headers) {
        curl_slist_free_all(t.Headers);
        t.Headers = nullptr;
    }
    t.ResetAnswer();
    t.Done = false;
    t.Code = 0;
    t.Error[0] = 0;
    t.LastMoved = 0;
    CURL *e = t.Easy;
    curl_easy_setopt(e, CURLOPT_PRIVATE, t.Link);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.Error);
    curl_easy_setopt(e, CURLOPT_URL, t.Url.constData());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    // Each request once, on a connection of its own, closed after it.
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_SHARE, m_driver->Share);
    // Turns the cookie engine on without a file to read; nothing is ever
    // written out.
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");

    curl_slist *h = nullptr;
    h = curl_slist_append(h, ("User-Agent: " + UserAgent).constData());
    h = curl_slist_append(h, ("Accept: " + t.Accept).constData());
    // Without this a server may compress, which hides the length from the gauge.
    h = curl_slist_append(h, "Accept-Encoding: identity");
    h = curl_slist_append(h, "Connection: close");
    h = curl_slist_append(h, "Expect:");
    if (t.Post) {
        h = curl_slist_append(h, "MIME-Version: 1.0");
        h = curl_slist_append(
            h, ("Content-Type: multipart/form-data; boundary=" + t.Boundary).constData());
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(t.PostBody.size()));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, t.PostBody.constData());
    } else {
        h = curl_slist_append(h, "Content-Type: text/html");
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    }
    t.Headers = h;
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, h);

    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &THttpTransfer::OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, t.Link);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &THttpTransfer::OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t.Link);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &THttpTransfer::OnProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, t.Link);

    // Proxy: "none" also means none of the environment's proxy variables.
    const TProxyOptions &proxy = m_options.Proxy;
    switch (proxy.What) {
    case TProxyOptions::Kind::None:
        curl_easy_setopt(e, CURLOPT_PROXY, "");
        break;
    case TProxyOptions::Kind::System:
        break; // libcurl reads http_proxy, https_proxy, all_proxy and no_proxy
    case TProxyOptions::Kind::Http:
    case TProxyOptions::Kind::Https:
    case TProxyOptions::Kind::Socks5: {
        const QByteArray host = proxy.Host.trimmed().toUtf8();
        curl_easy_setopt(e, CURLOPT_PROXY, host.constData());
        curl_easy_setopt(e, CURLOPT_PROXYPORT, long(proxy.Port));
        const long type = proxy.What == TProxyOptions::Kind::Http ? long(CURLPROXY_HTTP)
                          : proxy.What == TProxyOptions::Kind::Https
                              ? long(CURLPROXY_HTTPS)
                              : long(CURLPROXY_SOCKS5_HOSTNAME);
        curl_easy_setopt(e, CURLOPT_PROXYTYPE, type);
        // A proxy of the user's choice is used for every address.
        curl_easy_setopt(e, CURLOPT_NOPROXY, "");
        if (!proxy.User.isEmpty()) {
            const QByteArray user = proxy.User.toUtf8();
            const QByteArray password = proxy.Password.toUtf8();
            curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, user.constData());
            curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, password.constData());
        }
        break;
    }
    }

    if (m_options.ConnectTimeoutMs > 0)
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(m_options.ConnectTimeoutMs));
    if (t.TimeoutMs > 0) {
        const qint64 left = t.TimeoutMs - t.Clock.elapsed();
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, long(qMax<qint64>(1, left)));
    }
    if (m_options.ReadTimeoutMs > 0) {
        if (!t.Idle) {
            t.Idle = new QTimer;
            t.Idle->setSingleShot(true);
            QObject::connect(t.Idle, &QTimer::timeout, this, [this, &t] {
                if (t.Done || !t.Running)
                    return;
                t.IdleTimedOut = true;
                m_driver->Remove(t);
                FinishTransfer(t, CURLE_OPERATION_TIMEDOUT);
            });
        }
        t.Idle->setInterval(m_options.ReadTimeoutMs);
        t.Idle->start();
    }

    if (curl_multi_add_handle(m_driver->Multi, e) != CURLM_OK)
        return false;
    t.Running = true;
    return true;
}

namespace {

QString ReasonFor(int code, const char *detail, bool viaProxy)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("host not found");
    case CURLE_COULDNT_RESOLVE_PROXY:
        return QStringLiteral("proxy host not found");
    case CURLE_COULDNT_CONNECT:
        return viaProxy ? QStringLiteral("proxy refused") : QStringLiteral("connection refused");
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("timed out");
    case CURLE_PROXY:
        return QStringLiteral("proxy refused");
    case CURLE_PARTIAL_FILE:
        return QStringLiteral("the connection closed before the whole answer arrived");
    case CURLE_GOT_NOTHING:
        return QStringLiteral("the server closed the connection without an answer");
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return viaProxy && QByteArray(detail).contains("proxy")
                   ? QStringLiteral("proxy refused")
                   : QStringLiteral("the connection dropped");
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return QStringLiteral("malformed address");
    case CURLE_WRITE_ERROR:
        return QStringLiteral("the answer could not be stored");
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
        return QStringLiteral("secure connection failed");
    default:
        break;
    }
    const QString text = detail && *detail
                             ? QString::fromLocal8Bit(detail)
                             : QString::fromLatin1(curl_easy_strerror(CURLcode(code)));
    return text.isEmpty() ? QStringLiteral("network error") : text;
}

} // namespace

void THttpClient::FinishTransfer(THttpTransfer &t, int code)
{
    if (t.Done && t.Blocking)
        return;
    m_driver->Remove(t);
    t.Done = true;
    t.Code = code;
    if (t.Idle)
        t.Idle->stop();
    if (t.Blocking) {
        if (t.Loop)
            t.Loop->quit();
        return;
    }
    // Asynchronous: the next hop, or the answer, on the next turn of the loop.
    const AsyncHandle handle = t.Handle;
    QTimer::singleShot(0, this, [this, handle] { AsyncHop(handle); });
}

THttpClient::Result THttpClient::Get(const QByteArray &address, QIODevice *sink, int timeoutMs)
{
    return Send(address, sink, nullptr, timeoutMs);
}

THttpClient::Result THttpClient::PostMultipart(const QByteArray &address,
                                               const QList<QPair<QByteArray, QByteArray>> &fields,
                                               int timeoutMs)
{
    return Send(address, nullptr, &fields, timeoutMs);
}

THttpClient::Result THttpClient::Send(const QByteArray &address, QIODevice *sink,
                                      const QList<QPair<QByteArray, QByteArray>> *fields,
                                      int timeoutMs)
{
    Result result;
    // A Stop already asked for: nothing goes out.
    if (m_state.StopRequested) {
        result.Stopped = true;
        return result;
    }
    QPointer<THttpClient> self(this);
    const bool viaProxy = m_options.Proxy.What != TProxyOptions::Kind::None;
    THttpTransfer t;
    t.Client = this;
    t.Blocking = true;
    t.Url = WireAddress(address);
    t.Sink = sink;
    t.TimeoutMs = timeoutMs;
    t.Clock.start();
    if (fields) {
        t.Post = true;
        t.PostBody = MultipartBody(*fields, t.Boundary);
    }
    m_blocking.append(&t);
    auto unregister = qScopeGuard([&] {
        if (self)
            m_blocking.removeOne(&t);
    });

    // The stop flag alone ends the transfer too, even one that waits with
    // nothing moving (a stalled upload calls no progress callback).
    QTimer stopWatch;
    stopWatch.setInterval(25);
    connect(&stopWatch, &QTimer::timeout, this, [this, &t] {
        if (m_state.StopRequested && !t.Done) {
            t.Stopped = true;
            m_driver->Remove(t);
            t.Done = true;
            if (t.Loop)
                t.Loop->quit();
        }
    });
    stopWatch.start();

    for (t.Hops = 0;; ++t.Hops) {
        if (!StartTransfer(t)) {
            result.Reason = QStringLiteral("network error");
            return result;
        }
        if (!t.Done) {
            QEventLoop loop;
            t.Loop = &loop;
            loop.exec(QEventLoop::AllEvents);
            t.Loop = nullptr;
        }
        if (!self) {
            result.Stopped = true;
            return result;
        }
        if (!t.Done) {
            // The application is closing: the wait ended without an answer.
            t.Stopped = true;
            m_driver->Remove(t);
            t.Done = true;
        }
        if (t.Begun) {
            t.Begun = false;
            emit workEnd();
        }
        result.Status = t.Status;
        if (t.Stopped || (t.Code == CURLE_ABORTED_BY_CALLBACK && m_state.StopRequested)) {
            result.Stopped = true;
            return result;
        }
        if (t.Code != CURLE_OK) {
            result.Reason = t.SinkFailed ? QStringLiteral("the answer could not be stored")
                                         : ReasonFor(t.Code, t.Error, viaProxy);
            return result;
        }
        // A connection closed short of the announced length is a broken
        // transfer (libcurl says so too; this covers a sink that stopped).
        if (t.Announced >= 0 && t.Received < t.Announced) {
            result.Reason = QStringLiteral("the connection closed before the whole answer arrived");
            return result;
        }
        const bool redirect = IsRedirect(t.Status) && t.HasLocation;
        if (redirect && t.Hops < MaxRedirects) {
            char *next = nullptr;
            curl_easy_getinfo(t.Easy, CURLINFO_REDIRECT_URL, &next);
            if (next && *next) {
                t.Url = QByteArray(next);
                // A form post answered by 301, 302 or 303 goes on as a GET.
                if (t.Post && t.Status != 307 && t.Status != 308) {
                    t.Post = false;
                    t.PostBody.clear();
                }
                if (timeoutMs > 0 && t.Clock.elapsed() >= timeoutMs) {
                    result.Reason = QStringLiteral("timed out");
                    return result;
                }
                continue;
            }
        }
        // The redirect beyond the limit is the answer itself.
        if ((t.Status >= 200 && t.Status < 300) || redirect) {
            result.Ok = true;
            result.Body = t.Buffer;
        } else if (t.Status == 0) {
            result.Reason = QStringLiteral("no answer");
        } else {
            result.Reason = QStringLiteral("HTTP %1 %2")
                                .arg(t.Status)
                                .arg(QString::fromLatin1(t.Phrase))
                                .trimmed();
            if (t.Status == 407)
                result.Reason += QStringLiteral(" (the proxy asks for a user name and password)");
            result.RetryAfterSeconds =
                ParseRetryAfter(t.RetryAfter, QDateTime::currentSecsSinceEpoch());
        }
        return result;
    }
}

THttpClient::AsyncHandle THttpClient::GetAsync(const QByteArray &address, const QByteArray &accept,
                                               QObject *context,
                                               std::function<void(const Result &)> done)
{
    auto *t = new THttpTransfer;
    t->Client = this;
    t->Blocking = false;
    t->Url = WireAddress(address);
    if (!accept.isEmpty())
        t->Accept = accept;
    t->Handle = m_nextHandle++;
    t->Context = context;
    t->Callback = std::move(done);
    t->Clock.start();
    m_async.insert(t->Handle, t);
    const AsyncHandle handle = t->Handle;
    if (context)
        t->ContextGone =
            connect(context, &QObject::destroyed, this, [this, handle] { Cancel(handle); });
    if (!StartTransfer(*t)) {
        t->Done = true;
        t->Code = CURLE_FAILED_INIT;
        QTimer::singleShot(0, this, [this, handle] { AsyncHop(handle); });
    }
    return handle;
}

void THttpClient::AsyncHop(AsyncHandle handle)
{
    THttpTransfer *t = m_async.value(handle);
    if (!t)
        return;
    const bool redirect = t->Code == CURLE_OK && IsRedirect(t->Status) && t->HasLocation;
    if (redirect && t->Hops < t->MaxHops) {
        char *next = nullptr;
        curl_easy_getinfo(t->Easy, CURLINFO_REDIRECT_URL, &next);
        if (next && *next) {
            t->Url = QByteArray(next);
            ++t->Hops;
            if (StartTransfer(*t))
                return;
        }
    }
    Result result;
    result.Status = t->Status;
    if (t->Code != CURLE_OK)
        result.Reason =
            ReasonFor(t->Code, t->Error, m_options.Proxy.What != TProxyOptions::Kind::None);
    else if (t->Status >= 200 && t->Status < 300) {
        result.Ok = true;
        result.Body = t->Buffer;
    } else {
        result.Reason =
            QStringLiteral("HTTP %1 %2").arg(t->Status).arg(QString::fromLatin1(t->Phrase));
    }
    auto callback = std::move(t->Callback);
    const QPointer<QObject> context = t->Context;
    const bool hadContext = t->ContextGone;
    DropAsync(handle);
    if (callback && (!hadContext || context))
        callback(result);
}

void THttpClient::Cancel(AsyncHandle handle)
{
    DropAsync(handle);
}

void THttpClient::DropAsync(AsyncHandle handle)
{
    THttpTransfer *t = m_async.take(handle);
    if (!t)
        return;
    disconnect(t->ContextGone);
    m_driver->Remove(*t);
    delete t;
}

bool THttpClient::FetchPage(const QByteArray &address, QByteArray &page)
{
    if (m_state.StopRequested)
        return false;
    page.clear();

    // A folder that cannot be written is not a request failure: the page
    // goes to the user's private folder instead, and when that refuses it
    // too the general error handler reports it before anything is shown.
    const QString programPath = QDir(m_programFolder).filePath(QStringLiteral("test.html"));
    QString tempPath = programPath;
    QFile temp;
    QString programError;
    if (!platform::OpenPrivateFileForWriting(temp, tempPath, &programError)) {
        QString error;
        tempPath = m_tempFolder.isEmpty()
                       ? QString()
                       : QDir(m_tempFolder).filePath(QStringLiteral("test.html"));
        if (tempPath.isEmpty() || !platform::OpenPrivateFileForWriting(temp, tempPath, &error))
            throw std::runtime_error(
                FromScreen(tempPath.isEmpty()
                               ? QStringLiteral("Cannot create file \"%1\". %2")
                                     .arg(QDir::toNativeSeparators(programPath), programError)
                               : QStringLiteral("Cannot create file \"%1\". %2")
                                     .arg(QDir::toNativeSeparators(tempPath), error))
                    .toStdString());
    }
    auto removeTemp = qScopeGuard([&] {
        temp.close();
        QFile::remove(tempPath);
    });

    const QString failed =
        QStringLiteral("Connection error, check if you are connected and url exists.");
    emit statusText(QStringLiteral("Getting URL: ") + ToScreen(address) + QStringLiteral("..."));
    emit work(0);
    QCoreApplication::processEvents();

    QPointer<THttpClient> self(this);
    const Result result = Get(address, &temp);
    if (!self)
        return false;
    m_last = result;
    const bool written = temp.flush() && temp.error() == QFileDevice::NoError;
    temp.close();

    if (m_state.StopRequested) {
        emit statusText(QStringLiteral("Process aborted!"));
        return false;
    }
    QFile back(tempPath);
    if (result.Ok && !written)
        m_last.Reason = QStringLiteral("the page could not be stored");
    if (!result.Ok || !written || !back.open(QIODevice::ReadOnly)) {
        if (m_last.Ok)
            m_last.Ok = false;
        emit statusText(failed);
        return false;
    }
    page = JoinLinesCrLf(TextLines(back.readAll()));
    emit statusText(QStringLiteral("Process completed sucessfull!"));
    return true;
}
