#pragma once
// IdHTTP1: the one HTTP client of the whole run, on libcurl. Fixed headers,
// cookies in memory for the run (shared by every request, never written to
// disk), redirects followed by our own loop, no read time-out unless the
// options set one. Each request goes out once, on a connection of its own
// that is closed after the answer, whatever the server does.
//
// libcurl's multi interface runs on the window's own event loop (a socket
// notifier per connection and one timer), so nothing ever blocks the thread:
// the blocking calls wait in a local event loop and the window keeps
// painting and taking Stop and close while they wait.

#include "base/NetworkOptions.h"
#include "base/RunState.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <functional>

class QIODevice;
class QTimer;
struct THttpTransfer;

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
        bool Stopped = false; // ended by Disconnect() or the stop flag
        int Status = 0;       // HTTP status of the last answer, 0 without one
        QByteArray Body;      // body of a successful answer (when no sink was given)
        // Why a request failed, for the user: "HTTP 404 Not Found",
        // "connection refused", "host not found", "timed out", ...; empty on
        // success.
        QString Reason;
        // Seconds from a Retry-After header of the final answer (a number of
        // seconds or an HTTP date; a date in the past gives 0, anything above
        // a day is cut to a day); -1 without a usable one.
        int RetryAfterSeconds = -1;
    };

    // Longest wait a Retry-After can ask for.
    static constexpr int MaxRetryAfterSeconds = 24 * 60 * 60;
    // Reads a Retry-After value against the given time (seconds since 1970).
    static int ParseRetryAfter(const QByteArray &value, qint64 nowSecs);

    // Downloads one page through the temporary "test.html" in the program
    // folder, or in the user's private folder when the program folder cannot
    // be written (an installed program's usually cannot). Status texts go out
    // through statusText(). Throws std::runtime_error naming the file it
    // tried last when neither can take the file.
    bool FetchPage(const QByteArray &address, QByteArray &page);
    // The outcome of the last FetchPage that sent a request.
    const Result &LastResult() const { return m_last; }

    // GET with redirects; the body goes to sink when given, else to Result::Body.
    // timeoutMs > 0 limits the whole request, redirects included. With the
    // stop flag set nothing is sent.
    Result Get(const QByteArray &address, QIODevice *sink = nullptr, int timeoutMs = 0);
    // Multipart form POST with plain fields in the given order. A Stop ends
    // it at once, during the upload too.
    Result PostMultipart(const QByteArray &address,
                         const QList<QPair<QByteArray, QByteArray>> &fields, int timeoutMs = 0);

    // Asynchronous GET for pictures: follows redirects on its own, shares the
    // cookies and headers, and calls done on this thread unless cancelled or
    // context is gone first. Neither the stop flag nor Disconnect() ends it;
    // Cancel() does.
    using AsyncHandle = quint64;
    AsyncHandle GetAsync(const QByteArray &address, const QByteArray &accept, QObject *context,
                         std::function<void(const Result &)> done);
    void Cancel(AsyncHandle handle);

    // Proxy and time-outs for every later request.
    void SetOptions(const TNetworkOptions &options) { m_options = options; }
    const TNetworkOptions &Options() const { return m_options; }

    // Ends every running blocking transfer, if any (Stop, window close).
    void Disconnect();
    bool IsRunning() const;

    const QString &ProgramFolder() const { return m_programFolder; }
    // Where "test.html" goes when the program folder refuses it; the user's
    // private folder (PrivateRunFolder) unless set.
    void SetTempFolder(const QString &folder) { m_tempFolder = folder; }
    const QString &TempFolder() const { return m_tempFolder; }

signals:
    void statusText(const QString &text);
    // Progress of every blocking transfer: total is -1 when the server sends no length.
    void workBegin(qint64 total);
    void work(qint64 count);
    void workEnd();

private:
    friend struct THttpTransfer;
    struct Driver;

    Result Send(const QByteArray &address, QIODevice *sink,
                const QList<QPair<QByteArray, QByteArray>> *fields, int timeoutMs);
    bool StartTransfer(THttpTransfer &transfer);
    void FinishTransfer(THttpTransfer &transfer, int code);
    void AsyncHop(AsyncHandle handle);
    void DropAsync(AsyncHandle handle);

    TRunState &m_state;
    QString m_programFolder;
    QString m_tempFolder;
    Driver *m_driver;
    QList<THttpTransfer *> m_blocking;
    QHash<AsyncHandle, THttpTransfer *> m_async;
    AsyncHandle m_nextHandle = 1;
    TNetworkOptions m_options;
    Result m_last;
};
