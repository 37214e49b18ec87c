#include "base/HttpClient.h"

#include "base/TextLines.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScopeGuard>
#include <QUrl>
#include <stdexcept>

namespace {

const QByteArray UserAgent = "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)";

// Qt refuses a few bytes in an address that callers may leave raw; escape
// only those and leave everything else as built.
QUrl ParseAddress(const QByteArray &address)
{
    QUrl url = QUrl::fromEncoded(address, QUrl::StrictMode);
    if (url.isValid())
        return url;
    static const QByteArray hex = "0123456789ABCDEF";
    QByteArray escaped;
    escaped.reserve(address.size() + 16);
    for (qsizetype i = 0; i < address.size(); ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
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
    return QUrl::fromEncoded(escaped, QUrl::StrictMode);
}

bool IsRedirect(int status)
{
    return status >= 300 && status < 400;
}

} // namespace

THttpClient::THttpClient(TRunState &state, const QString &programFolder, QObject *parent)
    : QObject(parent), m_state(state), m_programFolder(programFolder),
      m_nam(new QNetworkAccessManager(this))
{
    // Cookies stay in the manager's in-memory jar for the whole run.
    m_nam->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

THttpClient::~THttpClient()
{
    if (m_running)
        m_running->abort();
}

QNetworkRequest THttpClient::MakeRequest(const QByteArray &address) const
{
    QNetworkRequest request(ParseAddress(address));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setRawHeader("User-Agent", UserAgent);
    request.setRawHeader("Accept", "text/html, */*");
    request.setRawHeader("Content-Type", "text/html");
    // Without this Qt asks for compressed answers, which hides their length
    // from the progress display.
    request.setRawHeader("Accept-Encoding", "identity");
    return request;
}

bool THttpClient::IsRunning() const
{
    return !m_running.isNull();
}

void THttpClient::Disconnect()
{
    m_disconnected = true;
    if (m_running)
        m_running->abort();
}

THttpClient::Result THttpClient::Get(const QByteArray &address, QIODevice *sink)
{
    return Send(address, sink, nullptr);
}

THttpClient::Result THttpClient::PostMultipart(const QByteArray &address,
                                               const QList<QPair<QByteArray, QByteArray>> &fields)
{
    return Send(address, nullptr, &fields);
}

THttpClient::Result THttpClient::Send(const QByteArray &address, QIODevice *sink,
                                      const QList<QPair<QByteArray, QByteArray>> *fields)
{
    Result result;
    m_disconnected = false;
    QUrl url = ParseAddress(address);
    bool post = fields != nullptr;
    bool begun = false;

    for (int hops = 0;; ++hops) {
        QNetworkRequest request = MakeRequest(address);
        request.setUrl(url);
        QNetworkReply *reply = nullptr;
        if (post) {
            auto *multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
            for (const auto &[name, value] : *fields) {
                QHttpPart part;
                part.setRawHeader("Content-Disposition", "form-data; name=\"" + name + "\"");
                part.setBody(value);
                multipart->append(part);
            }
            // An unquoted boundary: some servers mishandle Qt's quoted one.
            request.setRawHeader("Content-Type",
                                 "multipart/form-data; boundary=" + multipart->boundary());
            reply = m_nam->post(request, multipart);
            multipart->setParent(reply);
        } else {
            reply = m_nam->get(request);
        }
        m_running = reply;
        auto cleanup = qScopeGuard([&] {
            m_running.clear();
            reply->deleteLater();
        });

        // Decided when the headers arrive: a redirect we follow keeps its
        // body to itself; any other answer streams to the caller.
        bool following = false;
        bool isFinal = true;
        QByteArray buffer;
        connect(reply, &QNetworkReply::metaDataChanged, this, [&] {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const QUrl target =
                reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
            following = IsRedirect(status) && target.isValid() && hops < MaxRedirects;
            isFinal = !following;
        });
        connect(reply, &QIODevice::readyRead, this, [&] {
            const QByteArray chunk = reply->readAll();
            if (!isFinal)
                return;
            if (sink)
                sink->write(chunk);
            else
                buffer += chunk;
        });
        connect(reply, &QNetworkReply::downloadProgress, this, [&](qint64 received, qint64 total) {
            if (!begun) {
                begun = true;
                emit workBegin(total);
            }
            if (m_state.StopRequested)
                Disconnect();
            emit work(received);
        });

        if (!reply->isFinished()) {
            QEventLoop loop;
            connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::AllEvents);
        }
        if (!reply->isFinished()) {
            // The application is closing: the wait ended without an answer.
            m_disconnected = true;
            reply->abort();
        }
        if (begun)
            emit workEnd();
        begun = false;

        result.Status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (m_disconnected || reply->error() == QNetworkReply::OperationCanceledError) {
            result.Stopped = true;
            return result;
        }
        if (reply->error() != QNetworkReply::NoError)
            return result;
        // Data that arrived together with finished.
        if (reply->bytesAvailable() > 0 && isFinal) {
            const QByteArray rest = reply->readAll();
            if (sink)
                sink->write(rest);
            else
                buffer += rest;
        }
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (IsRedirect(result.Status) && target.isValid() && hops < MaxRedirects) {
            url = reply->url().resolved(target);
            // A form post answered by 301, 302 or 303 goes on as a GET.
            if (post && result.Status != 307 && result.Status != 308)
                post = false;
            continue;
        }
        if ((result.Status >= 200 && result.Status < 300) || IsRedirect(result.Status)) {
            result.Ok = true;
            result.Body = buffer;
        }
        return result;
    }
}

bool THttpClient::FetchPage(const QByteArray &address, QByteArray &page)
{
    if (m_state.StopRequested)
        return false;
    page.clear();

    const QString tempPath = m_programFolder + QStringLiteral("test.html");
    QFile temp(tempPath);
    if (!temp.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("Cannot create file \"" + tempPath.toStdString() + "\". " +
                                 temp.errorString().toStdString());
    auto removeTemp = qScopeGuard([&] {
        temp.close();
        QFile::remove(tempPath);
    });

    emit statusText(QStringLiteral("Getting URL: ") + QString::fromLocal8Bit(address) +
                    QStringLiteral("..."));
    emit work(0);
    QCoreApplication::processEvents();

    const Result result = Get(address, &temp);
    temp.close();

    if (m_state.StopRequested) {
        emit statusText(QStringLiteral("Process aborted!"));
        return false;
    }
    if (!result.Ok || temp.error() != QFileDevice::NoError) {
        emit statusText(
            QStringLiteral("Connection error, check if you are connected and url exists."));
        return false;
    }
    if (!temp.open(QIODevice::ReadOnly)) {
        emit statusText(
            QStringLiteral("Connection error, check if you are connected and url exists."));
        return false;
    }
    page = JoinLinesCrLf(TextLines(temp.readAll()));
    emit statusText(QStringLiteral("Process completed sucessfull!"));
    return true;
}
