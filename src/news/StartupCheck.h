#pragma once
// The silent start-up check shares the window's one web command at a time
// with the user's commands, and gives way to them: a user's web command ends
// it at once and runs. A user's command that finds another user's command
// running is refused, and the status bar says so.

#include <QString>
#include <functional>

class THttpClient;
class TRunState;

inline constexpr char RefusedWhileBusyText[] =
    "Another command is still waiting for the web: try again when it has finished.";

class TStartupCheck
{
public:
    void Begin()
    {
        m_running = true;
        m_gaveWay = false;
    }
    void End() { m_running = false; }
    bool Running() const { return m_running; }
    // A user's command ended this run of the check.
    bool GaveWay() const { return m_gaveWay; }
    // Cuts off the check's request, if it runs; the check then ends quietly.
    void GiveWay(THttpClient &http);

private:
    bool m_running = false;
    bool m_gaveWay = false;
};

// Before a user's web command: the start-up check gives way. False when
// another user's web command runs; status then shows why.
bool MayStartUserCommand(const TRunState &run, TStartupCheck &startup, THttpClient &http,
                         const std::function<void(const QString &)> &status);
