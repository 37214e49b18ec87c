#include "news/StartupCheck.h"

#include "base/HttpClient.h"
#include "base/RunState.h"

void TStartupCheck::GiveWay(THttpClient &http)
{
    if (!m_running)
        return;
    m_running = false;
    m_gaveWay = true;
    // The check holds no other transfer: only its own request ends here.
    http.Disconnect();
}

bool MayStartUserCommand(const TRunState &run, TStartupCheck &startup, THttpClient &http,
                         const std::function<void(const QString &)> &status)
{
    startup.GiveWay(http);
    if (!run.Busy)
        return true;
    status(QLatin1String(RefusedWhileBusyText));
    return false;
}
