#include "base/PacedFetch.h"

#include "base/CommandContext.h"
#include "base/HttpClient.h"
#include "base/RunProgress.h"
#include "base/RunState.h"
#include "base/StatusBar.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

TPacing::TPacing(TRunState &run, IStatusBar &status)
    : Wait([&run, &status](qint64 ms, bool retry) {
          return WaitOnEventLoop(run, status, ms, retry);
      })
{
}

bool WaitOnEventLoop(TRunState &run, IStatusBar &status, qint64 ms, bool retry)
{
    if (run.StopRequested)
        return false;
    const QDeadlineTimer deadline(ms);
    QEventLoop loop;
    QTimer tick;
    // Short ticks: a Stop ends the wait at once, not at the next second.
    tick.setInterval(20);
    QString shown;
    auto update = [&] {
        if (run.StopRequested || deadline.hasExpired()) {
            loop.quit();
            return false;
        }
        const qint64 left = deadline.remainingTime();
        const QString text = retry ? PacingRetryText(left) : PacingWaitText(left);
        if (text != shown) {
            shown = text;
            status.SetMainStatus(text);
        }
        return true;
    };
    QObject::connect(&tick, &QTimer::timeout, &loop, update);
    if (update()) {
        tick.start();
        loop.exec(QEventLoop::AllEvents);
    }
    if (run.StopRequested)
        return false;
    if (!deadline.hasExpired()) {
        // Only the end of the program leaves a wait early without a stop.
        run.StopRequested = true;
        return false;
    }
    return true;
}

bool PacedFetchPage(TCommandContext &ctx, const QByteArray &address, QByteArray &page,
                    TSecurityImage securityImage, QString *failureReason)
{
    IRunProgress *progress = ctx.Progress;
    if (!ctx.Pacing) {
        const bool sent = !ctx.Run.StopRequested;
        const bool ok = ctx.Http.FetchPage(address, page);
        if (sent && progress)
            progress->RequestSent(!ok && !ctx.Run.StopRequested);
        return ok;
    }
    TPacing &pacing = *ctx.Pacing;
    const QByteArray host = HostOfAddress(address);
    bool retry = false;
    for (;;) {
        const qint64 wait = pacing.Pacer.DelayBefore(host);
        if (wait > 0 && !pacing.Wait(wait, retry)) {
            page.clear();
            ctx.Status.SetMainStatus(QStringLiteral("Process aborted!"));
            return false;
        }
        if (ctx.Run.StopRequested) {
            page.clear();
            return false;
        }
        const bool ok = ctx.Http.FetchPage(address, page);
        const THttpClient::Result &result = ctx.Http.LastResult();
        TRequestOutcome outcome;
        outcome.Ok = ok;
        outcome.Stopped = ctx.Run.StopRequested || result.Stopped;
        outcome.Status = result.Status;
        outcome.RetryAfterSeconds = result.RetryAfterSeconds;
        outcome.SecurityImage = ok && securityImage == TSecurityImage::Refusal &&
                                !pacing.Pacer.Options().IsOff() && IsSecurityImagePage(page);
        if (progress)
            progress->RequestSent(!outcome.Stopped && (!ok || outcome.SecurityImage));
        const TPacer::TVerdict verdict = pacing.Pacer.Report(host, outcome);
        if (verdict == TPacer::TVerdict::Retry && !ctx.Run.StopRequested) {
            retry = true;
            continue;
        }
        if (outcome.SecurityImage) {
            page.clear();
            if (failureReason)
                *failureReason = QStringLiteral("asked for the security image");
            return false;
        }
        return ok;
    }
}
