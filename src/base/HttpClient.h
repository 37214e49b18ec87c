#pragma once
// IdHTTP1: the one HTTP client of the whole run. Fixed headers, one in-memory
// cookie jar, redirects followed by our own loop, no read time-out. Requests
// block their caller in a local event loop, so the window keeps painting and
// taking Stop and close while they wait.

#include "base/NetworkOptions.h"
#include "base/RunState.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

class THttpClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxRedirects = 15;

    THttpClient(TRunState &state, const QString &programFolder, QObject *parent = nullptr);
    ~THttpClient() override;

    struct Result
    {
        bool Ok = false;      // a final answer in the 200 range (or the answer after 15 redirects)
        bool Stopped = false; // ended by Disconnect()
        int Status = 0;       // HTTP status of the last answer, 0 without one
        QByteArray Body;      // body of a successful answer (when no sink was given)
        // Why a request failed, for the user: "HTTP 404 Not Found",
        // "connection refused", "host not found", "timed out", ...; empty on
        // success.
        QString Reason;
        // Seconds from a Retry-After header of the final answer; -1 without
        // a usable one.
        int RetryAfterSeconds = -1;
    };

    // Downloads one page through the temporary "test.html" in the program
    // folder, or in the temporary folder when the program folder cannot be
    // written (an installed program's usually cannot). Status texts go out
    // through statusText(). Throws std::runtime_error when neither can take
    // the file.
    bool FetchPage(const QByteArray &address, QByteArray &page);
    // The outcome of the last FetchPage that sent a request.
    const Result &LastResult() const { return m_last; }

    // GET with redirects; the body goes to sink when given, else to Result::Body.
    // timeoutMs > 0 limits the whole request, redirects included.
    Result Get(const QByteArray &address, QIODevice *sink = nullptr, int timeoutMs = 0);
    // Multipart form POST with plain fields in the given order.
    Result PostMultipart(const QByteArray &address,
                         const QList<QPair<QByteArray, QByteArray>> &fields, int timeoutMs = 0);

    // Proxy and time-outs for every later request.
    void SetOptions(const TNetworkOptions &options) { m_options = options; }
    const TNetworkOptions &Options() const { return m_options; }

    // Ends every running transfer, if any (Stop, window close).
    void Disconnect();
    bool IsRunning() const;

    // Request with the client's fixed headers, for asynchronous fetches that
    // must share the cookie jar (the security image).
    QNetworkRequest MakeRequest(const QByteArray &address) const;
    QNetworkAccessManager *Manager() const { return m_nam; }

    const QString &ProgramFolder() const { return m_programFolder; }
    // Where "test.html" goes when the program folder refuses it; the user's
    // temporary folder unless set.
    void SetTempFolder(const QString &folder) { m_tempFolder = folder; }
    const QString &TempFolder() const { return m_tempFolder; }

signals:
    void statusText(const QString &text);
    // Progress of every transfer: total may be -1 when the server sends no length.
    void workBegin(qint64 total);
    void work(qint64 count);
    void workEnd();

private:
    Result Send(const QByteArray &address, QIODevice *sink,
                const QList<QPair<QByteArray, QByteArray>> *fields, int timeoutMs);

    // One per waiting request: a request can start while another one waits.
    struct Transfer
    {
        QPointer<QNetworkReply> Reply;
        bool Stopped = false;
    };

    TRunState &m_state;
    QString m_programFolder;
    QString m_tempFolder;
    QNetworkAccessManager *m_nam;
    QList<Transfer *> m_transfers;
    TNetworkOptions m_options;
    Result m_last;
};
