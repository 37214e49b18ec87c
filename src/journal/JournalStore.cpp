#include "journal/JournalStore.h"

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <numeric>
#include <sqlite3.h>
#include <unistd.h>

namespace {

constexpr const char *kCreate = R"(
CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER) WITHOUT ROWID;
CREATE TABLE items(id INTEGER PRIMARY KEY, pos INTEGER NOT NULL, row BLOB NOT NULL);
)";

void putVarint(QByteArray &out, quint64 v)
{
    while (v >= 0x80) {
        out.append(char(v | 0x80));
        v >>= 7;
    }
    out.append(char(v));
}

bool hasSource(const TCountSource &s)
{
    return s.What != TCountSource::Kind::NeverAsked || s.When.isValid() || !s.Reason.isNull();
}

class TRowReader
{
public:
    TRowReader(const char *data, qsizetype size) : m_p(data), m_end(data + size) {}
    bool ok() const { return m_ok; }
    quint8 byte()
    {
        if (m_p >= m_end) {
            m_ok = false;
            return 0;
        }
        return quint8(*m_p++);
    }
    quint64 varint()
    {
        quint64 v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const quint8 b = byte();
            v |= quint64(b & 0x7f) << shift;
            if (!(b & 0x80))
                return v;
        }
        m_ok = false;
        return 0;
    }
    const char *take(quint64 n)
    {
        if (quint64(m_end - m_p) < n) {
            m_ok = false;
            return m_p;
        }
        const char *at = m_p;
        m_p += n;
        return at;
    }
    bool atEnd() const { return m_p == m_end; }

private:
    const char *m_p;
    const char *m_end;
    bool m_ok = true;
};

} // namespace

void PackRow(QByteArray &out, const TKeywordList &list, int row)
{
    quint8 flags = list.isChecked(row) ? 1 : 0;
    for (int e = 0; e < 3; ++e)
        if (hasSource(list.source(row, KeywordRow::Google + e)))
            flags |= quint8(2 << e);
    out.append(char(flags));
    for (int c = 0; c < KeywordRow::ColumnCount; ++c) {
        const QByteArray &text = list.text(row, c);
        putVarint(out, quint64(text.size()));
        out.append(text);
    }
    for (int e = 0; e < 3; ++e) {
        if (!(flags & (2 << e)))
            continue;
        const TCountSource &s = list.source(row, KeywordRow::Google + e);
        out.append(char(quint8(s.What)));
        out.append(char(quint8(s.SearchType + 1)));
        // Times go as milliseconds since the epoch plus one, 0 for none.
        putVarint(out, s.When.isValid() ? quint64(s.When.toMSecsSinceEpoch()) + 1 : 0);
        if (s.Reason.isNull()) {
            putVarint(out, 0);
        } else {
            const QByteArray reason = s.Reason.toUtf8();
            putVarint(out, quint64(reason.size()) + 1);
            out.append(reason);
        }
    }
}

bool UnpackRow(const char *data, qsizetype size, KeywordRow &row)
{
    TRowReader in(data, size);
    const quint8 flags = in.byte();
    row.Checked = flags & 1;
    for (QByteArray &text : row.Texts) {
        const quint64 n = in.varint();
        const char *at = in.take(n);
        text = n && in.ok() ? QByteArray(at, qsizetype(n)) : QByteArray();
    }
    for (int e = 0; e < 3; ++e) {
        TCountSource &s = row.Sources[size_t(e)];
        s = TCountSource();
        if (!(flags & (2 << e)))
            continue;
        const quint8 kind = in.byte();
        if (kind > quint8(TCountSource::Kind::Failed))
            return false;
        s.What = TCountSource::Kind(kind);
        s.SearchType = int(in.byte()) - 1;
        const quint64 when = in.varint();
        if (when)
            s.When = QDateTime::fromMSecsSinceEpoch(qint64(when - 1));
        const quint64 reason = in.varint();
        if (reason) {
            const char *at = in.take(reason - 1);
            s.Reason = QString::fromUtf8(at, in.ok() ? qsizetype(reason - 1) : 0);
        }
    }
    return in.ok() && in.atEnd() && flags < 16;
}

namespace {

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
    // Reading straight from the mapped file saves a copy of every page.
    exec("PRAGMA mmap_size=1073741824");
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, "SELECT pos, row FROM items", -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        return fail(rc, "read the rows");
    std::vector<qint64> positions;
    positions.reserve(rows.capacity());
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        positions.push_back(sqlite3_column_int64(stmt, 0));
        rows.emplace_back();
        const char *data = static_cast<const char *>(sqlite3_column_blob(stmt, 1));
        if (!UnpackRow(data ? data : "", sqlite3_column_bytes(stmt, 1), rows.back())) {
            sqlite3_finalize(stmt);
            m_error = QStringLiteral("a row that cannot be read");
            rows.clear();
            return Status::Damaged;
        }
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

bool TJournalStore::insertRow(quint64 id, qint64 pos, const char *row, int size)
{
    if (!prepare(m_insert, "INSERT INTO items VALUES(?,?,?)"))
        return false;
    sqlite3_bind_int64(m_insert, 1, qint64(id));
    sqlite3_bind_int64(m_insert, 2, pos);
    sqlite3_bind_blob(m_insert, 3, row, size, SQLITE_STATIC);
    return stepDone(m_insert, "add a row");
}

bool TJournalStore::updateRow(quint64 id, const char *row, int size)
{
    if (!prepare(m_update, "UPDATE items SET row=? WHERE id=?"))
        return false;
    sqlite3_bind_blob(m_update, 1, row, size, SQLITE_STATIC);
    sqlite3_bind_int64(m_update, 2, qint64(id));
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
