#pragma once
// The journal file itself: one SQLite database in WAL mode holding the rows
// of the list, their order, and a few facts about the run (when it last
// changed, whether it ended with a normal close, which gathering run was
// going on). No threads here: TJournal decides who calls what.
//
// SQLite's own C API rather than Qt's SQL module: the journal needs exact
// control over WAL, synchronous mode, busy handling and the file's rights,
// prepared statements bound straight to the bytes it was handed (no QVariant
// per field), a connection that lives on the writer thread, and no SQL driver
// plugin that a user's Qt installation may lack.

#include "base/KeywordList.h"

#include <QString>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// A row as the journal keeps it, in one blob: a flags byte (bit 0 the check
// mark, bits 1-3 which engines have a count source), the six texts as
// length-prefixed bytes, then per engine with a source its kind, search
// type, time and reason. The window packs it; the writer stores it as is.
void PackRow(QByteArray &out, const TKeywordList &list, int row);
// False for bytes that are not a packed row.
bool UnpackRow(const char *data, qsizetype size, KeywordRow &row);

// What the last run left in a journal, read without loading its rows.
struct TJournalSummary
{
    qint64 Rows = 0;
    QDateTime LastChange;        // local time of the last change committed
    bool ClosedNormally = false; // the window closed as it should
    bool RunActive = false;      // a Gather Data run was going on
    int RunSearchType = -1;      // 0 precise, 1 broad
    int RunScope = -1;           // TGatherScope as a number
};

class TJournalStore
{
public:
    // The layout this program writes; a newer one is left alone.
    static constexpr int Version = 1;

    enum class Status {
        Ok,
        Damaged, // not a journal of ours, a file cut short, garbage
        Future,  // written by a newer version of the program
        Locked,  // another program holds the file
        Failed,  // the file cannot be opened or written (rights, disk)
    };

    TJournalStore() = default;
    ~TJournalStore();
    TJournalStore(const TJournalStore &) = delete;
    TJournalStore &operator=(const TJournalStore &) = delete;

    // Opens an existing journal and checks it is one of ours.
    Status openExisting(const QString &path);
    // Makes a new, empty journal readable and writable by its owner only.
    Status create(const QString &path);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    QString errorText() const { return m_error; }

    Status readSummary(TJournalSummary &summary);
    // Every row in list order.
    Status readRows(std::vector<KeywordRow> &rows);

    // Writing, inside one transaction at a time.
    bool begin();
    bool commit();
    void rollback();
    // row, size: a packed row.
    bool insertRow(quint64 id, qint64 pos, const char *row, int size);
    bool updateRow(quint64 id, const char *row, int size);
    bool deleteRow(quint64 id);
    bool deleteAll();
    bool setPosition(quint64 id, qint64 pos);
    bool setMeta(const char *key, qint64 value);

    // Tests make the file system refuse to grow the file through this.
    sqlite3 *handle() const { return m_db; }

private:
    Status fail(int code, const char *what);
    bool exec(const char *sql);
    bool prepare(sqlite3_stmt *&stmt, const char *sql);
    bool stepDone(sqlite3_stmt *stmt, const char *what);
    Status configure();

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    sqlite3_stmt *m_update = nullptr;
    sqlite3_stmt *m_delete = nullptr;
    sqlite3_stmt *m_position = nullptr;
    sqlite3_stmt *m_meta = nullptr;
    QString m_error;
};
