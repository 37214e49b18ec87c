#pragma once
// Coordination between the running web command and the window: the stop
// flag, and a guard that lets only one web command run at a time (the wait
// for a reply lets other clicks through).

class TRunState
{
public:
    bool StopRequested = false;
    bool Busy = false;
};

class TBusyGuard
{
public:
    explicit TBusyGuard(TRunState &state) : m_state(state), m_owns(!state.Busy)
    {
        if (m_owns)
            m_state.Busy = true;
    }
    ~TBusyGuard()
    {
        if (m_owns)
            m_state.Busy = false;
    }
    TBusyGuard(const TBusyGuard &) = delete;
    TBusyGuard &operator=(const TBusyGuard &) = delete;
    // False when another web command was already running: refuse quietly.
    explicit operator bool() const { return m_owns; }

private:
    TRunState &m_state;
    bool m_owns;
};
