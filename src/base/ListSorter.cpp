#include "base/ListSorter.h"

#include <QMetaObject>

TListSorter::TListSorter(TKeywordList &list, QObject *parent) : QObject(parent), m_list(list) {}

TListSorter::~TListSorter()
{
    if (m_thread.joinable())
        m_thread.join();
}

void TListSorter::start(int column, bool ascending, RealKeys realKeys)
{
    m_column = column;
    m_ascending = ascending;
    m_realKeys = std::move(realKeys);
    if (m_running) {
        ++m_job; // the running sort is out of date; its end starts this one
        return;
    }
    if (m_list.count() >= m_threadFrom) {
        Launch();
        return;
    }
    TKeywordList::SortInput in = m_list.sortInput(m_column);
    if (m_realKeys)
        in.Reals = m_realKeys();
    if (in.Column < 0 && in.Reals.empty())
        return;
    m_list.applyOrder(TKeywordList::SortOrder(in, m_ascending));
    emit sorted();
}

void TListSorter::Launch()
{
    TKeywordList::SortInput in = m_list.sortInput(m_column);
    if (m_realKeys)
        in.Reals = m_realKeys();
    if (in.Column < 0 && in.Reals.empty())
        return;
    m_running = true;
    const quint64 job = ++m_job;
    m_generation = m_list.generation();
    const bool ascending = m_ascending;
    m_thread = std::thread([this, job, ascending, in = std::move(in)] {
        std::vector<int> order = TKeywordList::SortOrder(in, ascending);
        // Queued to the window's thread; the destructor waits for this.
        QMetaObject::invokeMethod(
            this, [this, job, order = std::move(order)]() mutable { Done(job, std::move(order)); },
            Qt::QueuedConnection);
    });
}

void TListSorter::Done(quint64 job, std::vector<int> order)
{
    if (m_thread.joinable())
        m_thread.join(); // it has nothing left to do but end
    m_running = false;
    if (job != m_job || m_list.generation() != m_generation ||
        order.size() != size_t(m_list.count())) {
        // Another sort was asked for, or the rows changed meanwhile: sort
        // what is there now.
        Launch();
        return;
    }
    m_list.applyOrder(order);
    emit sorted();
}
