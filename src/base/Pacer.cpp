#include "base/Pacer.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <algorithm>

namespace {

qint64 UniformRandom(qint64 lo, qint64 hi)
{
    return lo >= hi ? lo : QRandomGenerator::global()->bounded(lo, hi + 1);
}

} // namespace

TPacingOptions TPacingOptions::Normalized() const
{
    TPacingOptions o = *this;
    o.MinDelayMs = std::max(0, o.MinDelayMs);
    o.MaxDelayMs = std::max(o.MinDelayMs, o.MaxDelayMs);
    o.PauseEvery = std::max(0, o.PauseEvery);
    o.PauseMs = o.PauseEvery > 0 ? std::max(0, o.PauseMs) : 0;
    o.Retries = std::max(0, o.Retries);
    o.BackoffStartMs = std::max(0, o.BackoffStartMs);
    o.BackoffCapMs = std::max(o.BackoffStartMs, o.BackoffCapMs);
    return o;
}

TPacer::TPacer(const TPacingOptions &options, Clock clock, Random random)
    : m_options(options.Normalized()), m_clock(clock ? std::move(clock) : Clock(SteadyClockMs)),
      m_random(random ? std::move(random) : Random(UniformRandom))
{
}

void TPacer::SetOptions(const TPacingOptions &options)
{
    m_options = options.Normalized();
}

void TPacer::Reset()
{
    m_hosts.clear();
}

qint64 TPacer::DelayBefore(const QByteArray &host) const
{
    const auto it = m_hosts.constFind(host);
    if (it == m_hosts.constEnd())
        return 0;
    return std::max<qint64>(0, it->NextAllowed - m_clock());
}

bool TPacer::IsRetryable(const TRequestOutcome &outcome)
{
    if (outcome.Stopped)
        return false;
    if (outcome.Ok)
        return outcome.SecurityImage;
    // Any other 4xx answer is the server's considered reply (a missing
    // page stays missing): asking again would only add to the count.
    if (outcome.Status >= 400 && outcome.Status < 500)
        return outcome.Status == 408 || outcome.Status == 429;
    return true;
}

qint64 TPacer::BackoffMs(int attempt, int retryAfterSeconds) const
{
    const qint64 cap = m_options.BackoffCapMs;
    qint64 wait = m_options.BackoffStartMs;
    for (int i = 1; i < attempt && wait < cap; ++i)
        wait *= 2;
    // A Retry-After in the past or beyond reason reads as 0 or huge: the
    // back-off stays the least wait and the cap the most.
    if (retryAfterSeconds > 0)
        wait = std::max<qint64>(wait, qint64(retryAfterSeconds) * 1000);
    return std::min(wait, cap);
}

TPacer::TVerdict TPacer::Report(const QByteArray &host, const TRequestOutcome &outcome)
{
    if (outcome.Stopped)
        return TVerdict::Done;
    if (m_options.IsOff() && !IsRetryable(outcome))
        return TVerdict::Done;
    THost &h = m_hosts[host];
    const qint64 now = m_clock();
    ++h.Sent;
    qint64 next = now;
    TVerdict verdict = TVerdict::Done;
    if (IsRetryable(outcome)) {
        if (h.Attempt < m_options.Retries) {
            ++h.Attempt;
            next = now + BackoffMs(h.Attempt, outcome.RetryAfterSeconds);
            verdict = TVerdict::Retry;
        } else {
            h.Attempt = 0;
            verdict = TVerdict::GiveUp;
        }
    } else {
        h.Attempt = 0;
    }
    if (verdict != TVerdict::Retry && m_options.MaxDelayMs > 0)
        next = now + m_random(m_options.MinDelayMs, m_options.MaxDelayMs);
    if (m_options.PauseEvery > 0 && h.Sent % m_options.PauseEvery == 0)
        next = std::max(next, now + m_options.PauseMs);
    h.NextAllowed = next;
    return verdict;
}

QByteArray HostOfAddress(const QByteArray &address)
{
    qsizetype start = address.indexOf("://");
    start = start < 0 ? 0 : start + 3;
    qsizetype end = start;
    while (end < address.size() && address[end] != '/' && address[end] != '?' &&
           address[end] != '#')
        ++end;
    QByteArray host = address.mid(start, end - start).toLower();
    // Credentials are no part of where a request goes.
    const qsizetype at = host.lastIndexOf('@');
    return at >= 0 ? host.mid(at + 1) : host;
}

namespace {
qint64 WholeSeconds(qint64 ms)
{
    return std::max<qint64>(1, (ms + 999) / 1000);
}
} // namespace

QString PacingWaitText(qint64 remainingMs)
{
    return QStringLiteral("Waiting %1 s before the next request...").arg(WholeSeconds(remainingMs));
}

QString PacingRetryText(qint64 remainingMs)
{
    return QStringLiteral("Waiting %1 s before trying again...").arg(WholeSeconds(remainingMs));
}

qint64 SteadyClockMs()
{
    static const QElapsedTimer start = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return start.elapsed();
}
