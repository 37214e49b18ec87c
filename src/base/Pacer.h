#pragma once
// Polite pacing of the requests a gathering run sends: a random delay between
// two requests to the same host, a longer pause after every few requests, and
// back-off with a few retries when a host refuses, fails or asks for the
// security image. The pacer only decides how long to wait; the caller waits
// (on the event loop, stoppable) and sends. Off by default: no delay, no retry.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>

struct TPacingOptions
{
    int MinDelayMs = 0; // random delay between two requests to one host
    int MaxDelayMs = 0;
    int PauseEvery = 0; // requests to one host between two pauses; 0: never
    int PauseMs = 0;
    int Retries = 0;            // re-sends of a failed request
    int BackoffStartMs = 10000; // wait before the first re-send; doubles after each
    int BackoffCapMs = 300000;  // no wait is longer, Retry-After included

    bool operator==(const TPacingOptions &) const = default;

    static TPacingOptions Off() { return {}; }
    // 2-6 s between requests, a minute after every 50, three retries from 10 s.
    static TPacingOptions Polite() { return {2000, 6000, 50, 60000, 3, 10000, 300000}; }
    // No delay, no pause, no retry: requests go out exactly as without a pacer.
    bool IsOff() const { return MaxDelayMs <= 0 && PauseMs <= 0 && Retries <= 0; }
    // Bounds put right: no negatives, min <= max, start <= cap.
    TPacingOptions Normalized() const;
};

// What became of one request, as the pacer needs it.
struct TRequestOutcome
{
    bool Ok = false;
    bool Stopped = false;       // the user stopped it: neither success nor failure
    int Status = 0;             // HTTP status of the answer, 0 without one
    int RetryAfterSeconds = -1; // from the answer's Retry-After, -1 without a usable one
    bool SecurityImage = false; // an answer that asks for the security image instead
};

class TPacer
{
public:
    using Clock = std::function<qint64()>;                      // milliseconds, monotonic
    using Random = std::function<qint64(qint64 lo, qint64 hi)>; // uniform in [lo, hi]

    explicit TPacer(const TPacingOptions &options = {}, Clock clock = {}, Random random = {});

    void SetOptions(const TPacingOptions &options);
    const TPacingOptions &Options() const { return m_options; }
    // Forgets every host: a new run starts without pauses owed.
    void Reset();

    // Milliseconds to wait before the next request to host; 0 to send now.
    qint64 DelayBefore(const QByteArray &host) const;

    enum class TVerdict {
        Done,  // success, a stop, or a failure that is not retried: go on
        Retry, // send the same request again once DelayBefore allows
        GiveUp // failed after every retry: record the failure and go on
    };
    TVerdict Report(const QByteArray &host, const TRequestOutcome &outcome);

    // Whether an outcome counts as a failure worth waiting for and retrying.
    static bool IsRetryable(const TRequestOutcome &outcome);
    // The wait before re-send number attempt (1 for the first): doubling
    // from the start, capped; a longer Retry-After wins, up to the cap.
    qint64 BackoffMs(int attempt, int retryAfterSeconds) const;

private:
    struct THost
    {
        qint64 NextAllowed = 0; // clock time before which nothing goes to the host
        int Sent = 0;           // requests reported, for the pause after every PauseEvery
        int Attempt = 0;        // re-sends of the current request so far
    };

    TPacingOptions m_options;
    Clock m_clock;
    Random m_random;
    QHash<QByteArray, THost> m_hosts;
};

// The host part of an address ("http://127.0.0.1:8080/x" -> "127.0.0.1:8080").
// Milliseconds on a monotonic clock since its first use: the real clock of
// the pacer and the run progress.
qint64 SteadyClockMs();

QByteArray HostOfAddress(const QByteArray &address);

// Marks a page that asks for the security image instead of what was asked.
inline constexpr char SecurityImageText[] = "Please enter the characters in the image";
inline bool IsSecurityImagePage(const QByteArray &page)
{
    return page.contains(SecurityImageText);
}

// "Waiting 12 s before the next request..." while a pause runs.
QString PacingWaitText(qint64 remainingMs);
// "Waiting 20 s before trying again..." while a back-off runs.
QString PacingRetryText(qint64 remainingMs);
