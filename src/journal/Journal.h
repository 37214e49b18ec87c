#pragma once
// Keeps the keyword list on disk as it changes, so that a crash, a killed
// process or a power cut loses at most the last second of work.
//
// The journal hears every change through the list's observer, copies the
// changed rows into a queue and returns; a writer thread commits the queue in
// small transactions at least every quarter second. The window never waits
// on the disk. Anything that goes wrong with the file turns the journal off
// for the rest of the run: the program then works exactly as without it.
//
// Files, in the journal folder, per copy of the program running at once
// ("list", then "list-2", ... when an earlier one is taken):
//   list.lock              held while the copy runs
//   list.journal           this run's list (with -wal and -shm beside it)
//   list.previous.journal  the last run's list, for Reopen Last List
//   list.backup.journal    a list the user chose not to restore
//   list.damaged-<time>.journal   a journal that could not be read

#include "base/KeywordList.h"
#include "journal/JournalStore.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The folder the program keeps its journals in, in the user's data folder.
QString DefaultJournalFolder();
// The per-user switch (journal/enabled, on unless turned off), kept with
// the other user options.
bool JournalEnabledSetting();
void SetJournalEnabledSetting(bool enabled);

class TJournal : public QObject, public IKeywordListObserver
{
    Q_OBJECT
public:
    explicit TJournal(QObject *parent = nullptr);
    // Commits what is queued; a journal not closed normally stays one that
    // the next start offers to restore.
    ~TJournal() override;

    // Takes a journal of its own in folder and looks at what the last run
    // there left. False when the list will not be kept (notice() says why).
    bool open(const QString &folder);
    // The list whose changes are kept; the journal becomes its observer.
    void attach(TKeywordList &list);

    bool isActive() const { return m_active && !m_failed; }
    // What the status bar should say once about the journal; empty when
    // all is well.
    QString notice() const { return m_notice; }
    QString path() const { return m_path; }

    // The last run here ended without a normal close and left rows: the
    // question whether to restore them is still open.
    std::optional<TJournalSummary> pendingRestore() const { return m_pending; }
    struct Restored
    {
        int Rows = 0;
        TJournalSummary From;
    };
    // Yes: the last run's rows are appended to the list. Empty when the
    // journal could not be read; it is then set aside and notice() says so.
    std::optional<Restored> restore();
    // No: the last run's journal is kept aside as the one backup.
    void decline();

    // Reopen Last List: the list of the last run that closed normally, while
    // this run's list has not changed yet.
    bool canReopenLast() const;
    std::optional<Restored> reopenLast();

    // A Gather Data or Gather Missing Counts run starts or ends.
    void runStarted(int searchType, int scope);
    void runEnded();
    // The window closes normally: everything committed, marked as closed.
    void closeNormally();
    // Waits until every change so far is committed (or the journal failed).
    void flush();

    // IKeywordListObserver
    void RowsAppended(const TKeywordList &list, int first, int last) override;
    void RowsRemoved(const TKeywordList &list, const std::vector<quint64> &ids) override;
    void RowsChanged(const TKeywordList &list, int first, int last) override;
    void OrderChanged(const TKeywordList &list) override;
    void Cleared(const TKeywordList &list) override;

    // The file names of a slot, for tests and the README.
    static QString slotBase(const QString &folder, int slot);

    // One change as the writer gets it: rows packed into bytes, so that the
    // queue does not depend on how the list stores them.
    struct Change
    {
        enum class Kind : quint8 { Append, Update, Remove, Order, Clear, Run, Closed };
        Kind What = Kind::Update;
        QByteArray Packed;
        std::vector<quint64> Ids;
        int A = 0, B = 0, C = 0;
        qint64 When = 0; // ms since the epoch
    };

signals:
    // The journal stopped keeping the list; sent once, from any thread.
    void problem(const QString &text);

private:
    bool startWriting();
    void turnOff(const QString &reason);
    void setAside(const QString &why);
    std::optional<Restored> loadInto(const QString &file, const TJournalSummary &summary);
    void push(Change &&change);
    void packRows(const TKeywordList &list, int first, int last, QByteArray &out) const;
    void writerLoop();
    bool apply(const Change &change);
    void stopWriter();

    QPointer<TKeywordList> m_list;
    QString m_folder;
    QString m_base;
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    std::optional<TJournalSummary> m_pending;
    bool m_previousAvailable = false;
    bool m_changed = false; // this run's list changed
    bool m_active = false;  // the journal takes changes
    QString m_notice;
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_problemSent{false};

    // Shared with the writer thread.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_doneCv;
    std::vector<Change> m_queue;
    quint64 m_queuedSeq = 0;
    quint64 m_doneSeq = 0;
    bool m_hurry = false;
    bool m_stop = false;
    bool m_holdBack = false; // queue, but do not write yet
    std::thread m_writer;
    TJournalStore m_store; // the writer's once it runs
    qint64 m_nextPos = 0;  // the writer's
};
