#include "journal/JournalStore.h"

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <numeric>
#include <sqlite3.h>
#include <unistd.h>

namespace {

// The row's columns after id and pos: the check mark, the six texts, then
// kind, search type, time and reason of each engine's count.
constexpr const char *kCreate = R"(
CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER) WITHOUT ROWID;
CREATE TABLE items(
  id INTEGER PRIMARY KEY, pos INTEGER NOT NULL, checked INTEGER NOT NULL,
  no BLOB, keyword BLOB, searches BLOB, google BLOB, yahoo BLOB, msn BLOB,
  g_kind INTEGER, g_type INTEGER, g_when INTEGER, g_reason TEXT,
  y_kind INTEGER, y_type INTEGER, y_when INTEGER, y_reason TEXT,
  m_kind INTEGER, m_type INTEGER, m_when INTEGER, m_reason TEXT);
)";
constexpr int kRowFields = 1 + KeywordRow::ColumnCount + 3 * 4;

TJournalStore::Status statusOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return TJournalStore::Status::Ok;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
    case SQLITE_ERROR: // no such table: some other database
    case SQLITE_MISMATCH:
        return TJournalStore::Status::Damaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return TJournalStore::Status::Locked;
    default:
        return TJournalStore::Status::Failed;
    }
}

QByteArray blobAt(sqlite3_stmt *stmt, int column)
{
    const int size = sqlite3_column_bytes(stmt, column);
    const void *data = sqlite3_column_blob(stmt, column);
    return size > 0 ? QByteArray(static_cast<const char *>(data), size) : QByteArray();
}

} // namespace

TJournalStore::~TJournalStore()
{
    close();
}

void TJournalStore::close()
{
    for (sqlite3_stmt **s : {&m_insert, &m_update, &m_delete, &m_position, &m_meta}) {
        sqlite3_finalize(*s);
        *s = nullptr;
    }
    if (m_db) {
        // The last connection to close folds the WAL back into the file.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

TJournalStore::Status TJournalStore::fail(int code, const char *what)
{
    m_error = QString::fromUtf8(what) + QStringLiteral(": ") +
              QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code));
    const Status s = statusOf(code);
    return s == Status::Ok ? Status::Failed : s;
}

bool TJournalStore::exec(const char *sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        m_error = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool TJournalStore::prepare(sqlite3_stmt *&stmt, const char *sql)
{
    if (stmt)
        return true;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) == SQLITE_OK)
        return true;
    fail(sqlite3_errcode(m_db), "prepare");
    return false;
}

bool TJournalStore::stepDone(sqlite3_stmt *stmt, const char *what)
{
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc == SQLITE_DONE)
        return true;
    fail(rc, what);
    return false;
}

TJournalStore::Status TJournalStore::configure()
{
    // Never wait for a lock: another holder means the journal is not ours.
    sqlite3_busy_timeout(m_db, 0);
    sqlite3_extended_result_codes(m_db, 1);
    return Status::Ok;
}

TJournalStore::Status TJournalStore::openExisting(const QString &path)
{
    close();
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const Status s = fail(rc, "open");
        close();
        return s;
    }
    configure();
    sqlite3_stmt *stmt = nullptr;
    int step = sqlite3_prepare_v2(m_db, "PRAGMA user_version", -1, &stmt, nullptr);
    if (step == SQLITE_OK)
        step = sqlite3_step(stmt);
    if (step != SQLITE_ROW) {
        sqlite3_finalize(stmt);
        return fail(step, "read the version");
    }
    const int version = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (version > Version) {
        m_error = QStringLiteral("written by a newer version (%1)").arg(version);
        return Status::Future;
    }
    if (version != Version) {
        m_error = QStringLiteral("not a journal");
        return Status::Damaged;
    }
    return Status::Ok;
}

TJournalStore::Status TJournalStore::create(const QString &path)
{
    close();
    const QByteArray name = QFile::encodeName(path);
    // Made here with owner-only rights; SQLite gives its -wal and -shm
    // files the rights of the database file.
    const int fd = ::open(name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = QStringLiteral("cannot create %1: %2")
                      .arg(path, QString::fromLocal8Bit(strerror(errno)));
        return Status::Failed;
    }
    ::close(fd);
    const int rc = sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const Status s = fail(rc, "open");
        close();
        return s == Status::Damaged ? Status::Failed : s;
    }
    configure();
    // FULL: each commit reaches the disk, so a power cut loses at most the
    // last second too. The writer thread pays for it, never the window.
    const bool ok = exec("PRAGMA journal_mode=WAL") && exec("PRAGMA synchronous=FULL") &&
                    exec("BEGIN") && exec(kCreate) &&
                    exec(("PRAGMA user_version=" + std::to_string(Version)).c_str()) &&
                    exec("COMMIT");
    if (!ok) {
        const Status s = statusOf(sqlite3_errcode(m_db));
        close();
        return s == Status::Ok || s == Status::Damaged ? Status::Failed : s;
    }
    return Status::Ok;
}

TJournalStore::Status TJournalStore::readSummary(TJournalSummary &summary)
{
    summary = {};
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, "SELECT count(*) FROM items", -1, &stmt, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW) {
        sqlite3_finalize(stmt);
        return fail(rc, "count the rows");
    }
    summary.Rows = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);

    rc = sqlite3_prepare_v2(m_db, "SELECT key, value FROM meta", -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        return fail(rc, "read the facts");
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const QByteArray key(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        const qint64 value = sqlite3_column_int64(stmt, 1);
        if (key == "changed")
            summary.LastChange = QDateTime::fromMSecsSinceEpoch(value);
        else if (key == "closed")
            summary.ClosedNormally = value != 0;
        else if (key == "run")
            summary.RunActive = value != 0;
        else if (key == "run_type")
            summary.RunSearchType = int(value);
        else if (key == "run_scope")
            summary.RunScope = int(value);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return fail(rc, "read the facts");
    return Status::Ok;
}

TJournalStore::Status TJournalStore::readRows(std::vector<KeywordRow> &rows)
{
    rows.clear();
    sqlite3_stmt *stmt = nullptr;
    int rc =
        sqlite3_prepare_v2(m_db,
                           "SELECT pos, checked, no, keyword, searches, google, yahoo, msn, "
                           "g_kind, g_type, g_when, g_reason, y_kind, y_type, y_when, y_reason, "
                           "m_kind, m_type, m_when, m_reason FROM items",
                           -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        return fail(rc, "read the rows");
    std::vector<qint64> positions;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        KeywordRow row;
        positions.push_back(sqlite3_column_int64(stmt, 0));
        row.Checked = sqlite3_column_int(stmt, 1) != 0;
        for (int c = 0; c < KeywordRow::ColumnCount; ++c)
            row.Texts[size_t(c)] = blobAt(stmt, 2 + c);
        for (int e = 0; e < 3; ++e) {
            const int at = 2 + KeywordRow::ColumnCount + 4 * e;
            if (sqlite3_column_type(stmt, at) == SQLITE_NULL)
                continue;
            const int kind = sqlite3_column_int(stmt, at);
            if (kind < 0 || kind > int(TCountSource::Kind::Failed)) {
                sqlite3_finalize(stmt);
                m_error = QStringLiteral("a count of unknown kind");
                rows.clear();
                return Status::Damaged;
            }
            TCountSource &s = row.Sources[size_t(e)];
            s.What = TCountSource::Kind(kind);
            s.SearchType = sqlite3_column_int(stmt, at + 1);
            if (sqlite3_column_type(stmt, at + 2) != SQLITE_NULL)
                s.When = QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(stmt, at + 2));
            if (sqlite3_column_type(stmt, at + 3) != SQLITE_NULL)
                s.Reason = QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(stmt, at + 3)),
                    sqlite3_column_bytes(stmt, at + 3));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        rows.clear();
        return fail(rc, "read the rows");
    }
    // Rows come in the order they were added; a sort rewrote positions.
    if (!std::is_sorted(positions.begin(), positions.end())) {
        std::vector<size_t> order(rows.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return positions[a] < positions[b]; });
        std::vector<KeywordRow> sorted;
        sorted.reserve(rows.size());
        for (size_t i : order)
            sorted.push_back(std::move(rows[i]));
        rows.swap(sorted);
    }
    return Status::Ok;
}

bool TJournalStore::begin()
{
    return exec("BEGIN IMMEDIATE");
}

bool TJournalStore::commit()
{
    return exec("COMMIT");
}

void TJournalStore::rollback()
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool TJournalStore::bindRow(sqlite3_stmt *stmt, int first, const KeywordRow &row)
{
    sqlite3_bind_int(stmt, first, row.Checked ? 1 : 0);
    for (int c = 0; c < KeywordRow::ColumnCount; ++c) {
        const QByteArray &t = row.Texts[size_t(c)];
        sqlite3_bind_blob(stmt, first + 1 + c, t.constData(), int(t.size()), SQLITE_STATIC);
    }
    for (int e = 0; e < 3; ++e) {
        const int at = first + 1 + KeywordRow::ColumnCount + 4 * e;
        const TCountSource &s = row.Sources[size_t(e)];
        if (s.What == TCountSource::Kind::NeverAsked && s.Reason.isEmpty() && !s.When.isValid()) {
            for (int k = 0; k < 4; ++k)
                sqlite3_bind_null(stmt, at + k);
            continue;
        }
        sqlite3_bind_int(stmt, at, int(s.What));
        sqlite3_bind_int(stmt, at + 1, s.SearchType);
        if (s.When.isValid())
            sqlite3_bind_int64(stmt, at + 2, s.When.toMSecsSinceEpoch());
        else
            sqlite3_bind_null(stmt, at + 2);
        if (s.Reason.isNull()) {
            sqlite3_bind_null(stmt, at + 3);
        } else {
            const QByteArray reason = s.Reason.toUtf8();
            sqlite3_bind_text(stmt, at + 3, reason.constData(), int(reason.size()),
                              SQLITE_TRANSIENT);
        }
    }
    return true;
}

bool TJournalStore::insertRow(quint64 id, qint64 pos, const KeywordRow &row)
{
    static_assert(kRowFields == 19);
    if (!prepare(m_insert,
                 "INSERT OR REPLACE INTO items VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,"
                 "?,?,?)"))
        return false;
    sqlite3_bind_int64(m_insert, 1, qint64(id));
    sqlite3_bind_int64(m_insert, 2, pos);
    bindRow(m_insert, 3, row);
    return stepDone(m_insert, "add a row");
}

bool TJournalStore::updateRow(quint64 id, const KeywordRow &row)
{
    if (!prepare(m_update,
                 "UPDATE items SET checked=?1, no=?2, keyword=?3, searches=?4, google=?5, "
                 "yahoo=?6, msn=?7, g_kind=?8, g_type=?9, g_when=?10, g_reason=?11, "
                 "y_kind=?12, y_type=?13, y_when=?14, y_reason=?15, m_kind=?16, m_type=?17, "
                 "m_when=?18, m_reason=?19 WHERE id=?20"))
        return false;
    bindRow(m_update, 1, row);
    sqlite3_bind_int64(m_update, 20, qint64(id));
    return stepDone(m_update, "change a row");
}

bool TJournalStore::deleteRow(quint64 id)
{
    if (!prepare(m_delete, "DELETE FROM items WHERE id=?"))
        return false;
    sqlite3_bind_int64(m_delete, 1, qint64(id));
    return stepDone(m_delete, "remove a row");
}

bool TJournalStore::deleteAll()
{
    return exec("DELETE FROM items");
}

bool TJournalStore::setPosition(quint64 id, qint64 pos)
{
    if (!prepare(m_position, "UPDATE items SET pos=? WHERE id=?"))
        return false;
    sqlite3_bind_int64(m_position, 1, pos);
    sqlite3_bind_int64(m_position, 2, qint64(id));
    return stepDone(m_position, "order the rows");
}

bool TJournalStore::setMeta(const char *key, qint64 value)
{
    if (!prepare(m_meta, "INSERT OR REPLACE INTO meta VALUES(?,?)"))
        return false;
    sqlite3_bind_text(m_meta, 1, key, -1, SQLITE_STATIC);
    sqlite3_bind_int64(m_meta, 2, value);
    return stepDone(m_meta, "note a fact");
}
