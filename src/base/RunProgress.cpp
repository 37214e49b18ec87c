#include "base/RunProgress.h"
#include "base/Pacer.h"

#include <QLocale>
#include <algorithm>

namespace {

QString Number(int n)
{
    return QLocale(QLocale::English).toString(n);
}

} // namespace

TRunProgress::TRunProgress(Clock clock) : m_clock(clock ? std::move(clock) : Clock(SteadyClockMs))
{
}

void TRunProgress::SetClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(SteadyClockMs);
}

void TRunProgress::Start(int rows, int queries)
{
    m_started = m_clock();
    m_rows = rows;
    m_queries = queries;
    m_row = m_sent = m_failed = m_done = 0;
}

void TRunProgress::AddRequest(bool failed)
{
    ++m_sent;
    if (failed)
        ++m_failed;
}

void TRunProgress::AddQueryDone()
{
    m_done = std::min(m_done + 1, m_queries);
}

int TRunProgress::Percent() const
{
    return m_queries > 0 ? int(qint64(m_done) * 100 / m_queries) : 0;
}

qint64 TRunProgress::RemainingMs() const
{
    if (m_done == 0)
        return -1;
    const qint64 elapsed = m_clock() - m_started;
    return elapsed * (m_queries - m_done) / m_done;
}

QString TRunProgress::Text() const
{
    const qint64 left = RemainingMs();
    return QStringLiteral("Row %1 of %2 \u00b7 %3 sent \u00b7 %4 failed \u00b7 %5")
        .arg(Number(std::min(m_row + 1, std::max(m_rows, 1))), Number(m_rows), Number(m_sent),
             Number(m_failed),
             left < 0 ? QStringLiteral("estimating time left") : TimeLeftText(left));
}

QString TimeLeftText(qint64 ms)
{
    const qint64 seconds = (ms + 999) / 1000;
    if (seconds < 60)
        return QStringLiteral("about %1 s left").arg(seconds);
    const qint64 minutes = (seconds + 30) / 60;
    if (minutes < 60)
        return QStringLiteral("about %1 min left").arg(minutes);
    return QStringLiteral("about %1 h %2 min left")
        .arg(minutes / 60)
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}
