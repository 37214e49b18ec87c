#pragma once
// FetchPage as the gathering commands use it: waits as the pacer says
// (stoppable, with a countdown in the status bar), sends, reports the outcome
// and re-sends the same query when the pacer asks for a retry.

#include "base/Pacer.h"

#include <QByteArray>
#include <QString>
#include <functional>

class IStatusBar;
class TRunState;
struct TCommandContext;

class TPacing
{
public:
    // Waits run on the event loop and show their countdown on status.
    TPacing(TRunState &run, IStatusBar &status);

    TPacer Pacer;
    // Waits ms before the next request (retry: before a re-send); false when
    // a stop or the program's end cut it short. Tests put a fake clock's here.
    std::function<bool(qint64 ms, bool retry)> Wait;
};

// Runs a local event loop for ms milliseconds, the countdown on status, until
// StopRequested is set. False when it ended early; a wait that the end of the
// program cut short sets StopRequested as a stop would.
bool WaitOnEventLoop(TRunState &run, IStatusBar &status, qint64 ms, bool retry);

// How a security image page counts: where the command expects one (the
// suggestion service) it is an answer; anywhere else it is a refusal.
enum class TSecurityImage { Expected, Refusal };

// One query through ctx.Http.FetchPage, paced by ctx.Pacing when there is
// one. On false, failureReason (when given) holds a reason the client could
// not know ("asked for the security image"), else stays as it was.
bool PacedFetchPage(TCommandContext &ctx, const QByteArray &address, QByteArray &page,
                    TSecurityImage securityImage, QString *failureReason = nullptr);
