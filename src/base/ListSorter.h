#pragma once
// Sorting a big keyword list without stopping the window: what the sort
// reads is copied out (a few milliseconds), the order is worked out on a
// thread of its own, and it is put in place back on the window's thread if
// the list did not change meanwhile (else the sort starts over on the new
// rows). Small lists are sorted at once.

#include "base/KeywordList.h"

#include <QObject>
#include <functional>
#include <thread>

class TListSorter : public QObject
{
    Q_OBJECT
public:
    // The keys of a derived column (KEI), read on the window's thread.
    using RealKeys = std::function<std::vector<double>()>;

    explicit TListSorter(TKeywordList &list, QObject *parent = nullptr);
    ~TListSorter() override;

    // Lists with fewer rows are sorted before start returns.
    void setThreadFrom(int rows) { m_threadFrom = rows; }
    void start(int column, bool ascending, RealKeys realKeys = {});
    bool isRunning() const { return m_running; }

signals:
    // The new order is in place.
    void sorted();

private:
    void Launch();
    void Done(quint64 job, std::vector<int> order);

    TKeywordList &m_list;
    int m_threadFrom = 50000;
    int m_column = -1;
    bool m_ascending = true;
    RealKeys m_realKeys;
    bool m_running = false;
    quint64 m_job = 0;
    quint64 m_generation = 0;
    std::thread m_thread;
};
