#include "base/HttpClient.h"

#include "base/ScreenText.h"
#include "base/TextLines.h"

#include <QCoreApplication>
#include <QDir>
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
      m_tempFolder(QDir::tempPath()), m_nam(new QNetworkAccessManager(this))
{
    // Cookies stay in the manager's in-memory jar for the whole run.
    m_nam->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

THttpClient::~THttpClient()
{
    Disconnect();
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
    // One connection per request, closed after its answer. A kept-alive
    // connection that the server closes between two requests makes Qt send
    // the next request again on a new one: the server sees it twice.
    request.setRawHeader("Connection", "close");
    return request;
}

bool THttpClient::IsRunning() const
{
    return !m_transfers.isEmpty();
}

void THttpClient::Disconnect()
{
    // Aborting finishes the reply at once; its waiting loop returns later.
    const QList<Transfer *> running = m_transfers;
    for (Transfer *transfer : running) {
        transfer->Stopped = true;
        if (transfer->Reply)
            transfer->Reply->abort();
    }
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
    Q_UNUSED(timeoutMs); // the transport that honours it replaces this one
    Result result;
    QUrl url = ParseAddress(address);
    bool post = fields != nullptr;
    Transfer transfer;
    m_transfers.append(&transfer);
    auto unregister = qScopeGuard([&] { m_transfers.removeOne(&transfer); });

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
        transfer.Reply = reply;
        auto cleanup = qScopeGuard([&] {
            // The lambdas below point into this frame.
            disconnect(reply, nullptr, this, nullptr);
            transfer.Reply.clear();
            reply->deleteLater();
        });

        // Decided when the headers arrive: a redirect we follow keeps its
        // body to itself; any other answer streams to the caller.
        bool isFinal = true;
        bool begun = false;
        QByteArray buffer;
        qint64 received = 0;
        auto take = [&](const QByteArray &chunk) {
            received += chunk.size();
            if (!isFinal)
                return;
            if (sink)
                sink->write(chunk);
            else
                buffer += chunk;
        };
        connect(reply, &QNetworkReply::metaDataChanged, this, [&] {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const QUrl target =
                reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
            isFinal = !(IsRedirect(status) && target.isValid() && hops < MaxRedirects);
        });
        connect(reply, &QIODevice::readyRead, this, [&] { take(reply->readAll()); });
        connect(reply, &QNetworkReply::downloadProgress, this, [&](qint64 received, qint64 total) {
            // One more progress event follows an abort.
            if (transfer.Stopped)
                return;
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
            transfer.Stopped = true;
            reply->abort();
        }
        if (begun)
            emit workEnd();

        result.Status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (transfer.Stopped || reply->error() == QNetworkReply::OperationCanceledError) {
            result.Stopped = true;
            return result;
        }
        if (reply->error() != QNetworkReply::NoError) {
            result.Reason = reply->errorString();
            return result;
        }
        take(reply->readAll()); // what arrived together with finished
        // A connection closed short of the announced length is a broken
        // transfer, even when Qt reports no error for it.
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if (announced.isValid() && received < announced.toLongLong()) {
            result.Reason = QStringLiteral("the connection closed before the whole answer arrived");
            return result;
        }
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        const bool redirect = IsRedirect(result.Status) && target.isValid();
        if (redirect && hops < MaxRedirects) {
            url = reply->url().resolved(target);
            // A form post answered by 301, 302 or 303 goes on as a GET.
            if (post && result.Status != 307 && result.Status != 308)
                post = false;
            continue;
        }
        // The redirect beyond the limit is the answer itself.
        if ((result.Status >= 200 && result.Status < 300) || redirect) {
            result.Ok = true;
            result.Body = buffer;
        } else {
            result.Reason = QStringLiteral("HTTP %1 %2")
                                .arg(result.Status)
                                .arg(QString::fromLatin1(
                                    reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute)
                                        .toByteArray()));
            bool ok = false;
            const int retry = reply->rawHeader("Retry-After").trimmed().toInt(&ok);
            if (ok && retry >= 0)
                result.RetryAfterSeconds = retry;
        }
        return result;
    }
}

bool THttpClient::FetchPage(const QByteArray &address, QByteArray &page)
{
    if (m_state.StopRequested)
        return false;
    page.clear();

    // A folder that cannot be written is not a request failure: the page
    // goes to the temporary folder instead, and when that refuses it too the
    // general error handler reports it before anything is shown.
    const QString programPath = QDir(m_programFolder).filePath(QStringLiteral("test.html"));
    QString tempPath = programPath;
    QFile temp(tempPath);
    if (!temp.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QString programError = temp.errorString();
        tempPath = QDir(m_tempFolder).filePath(QStringLiteral("test.html"));
        temp.setFileName(tempPath);
        if (m_tempFolder.isEmpty() || !temp.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error(
                FromScreen(
                    QStringLiteral("Cannot create file \"%1\". %2").arg(programPath, programError))
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

    const Result result = Get(address, &temp);
    m_last = result;
    const bool written = temp.flush() && temp.error() == QFileDevice::NoError;
    temp.close();

    if (m_state.StopRequested) {
        emit statusText(QStringLiteral("Process aborted!"));
        return false;
    }
    if (!result.Ok || !written || !temp.open(QIODevice::ReadOnly)) {
        emit statusText(failed);
        return false;
    }
    page = JoinLinesCrLf(TextLines(temp.readAll()));
    emit statusText(QStringLiteral("Process completed sucessfull!"));
    return true;
}
