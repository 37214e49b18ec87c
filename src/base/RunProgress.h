#pragma once
// Progress of a whole gathering run: which row, how many requests went out
// and failed, and how long the rest will take at the rate seen so far
// (pauses and retries included). The per-request gauge is separate.

#include <QString>
#include <functional>

class IRunProgress
{
public:
    virtual ~IRunProgress() = default;
    // queries: the cells the run will ask for (re-sends not counted).
    virtual void RunStarted(int rows, int queries) = 0;
    virtual void RowStarted(int row) = 0; // 0-based
    // Every request that went out, re-sends included.
    virtual void RequestSent(bool failed) = 0;
    // One cell asked for and settled (answered, or failed for good).
    virtual void QueryDone() = 0;
    virtual void RunEnded() = 0;
};

class TRunProgress
{
public:
    using Clock = std::function<qint64()>; // milliseconds, monotonic

    explicit TRunProgress(Clock clock = {});

    void SetClock(Clock clock);
    void Start(int rows, int queries);
    void SetRow(int row) { m_row = row; }
    void AddRequest(bool failed);
    void AddQueryDone();

    int Row() const { return m_row; }
    int Rows() const { return m_rows; }
    int Sent() const { return m_sent; }
    int Failed() const { return m_failed; }
    int Percent() const;
    // Milliseconds left at the rate so far; -1 before anything is done.
    qint64 RemainingMs() const;
    // "Row 12 of 50 · 36 sent · 1 failed · about 2 min left"
    QString Text() const;

private:
    Clock m_clock;
    qint64 m_started = 0;
    int m_rows = 0, m_queries = 0, m_row = 0, m_sent = 0, m_failed = 0, m_done = 0;
};

// "about 40 s left", "about 12 min left", "about 2 h 05 min left".
QString TimeLeftText(qint64 ms);
