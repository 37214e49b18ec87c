#include "journal/Journal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <chrono>
#include <cstring>
#include <sqlite3.h>

namespace {

// How long the writer gathers changes before it commits them: well inside
// the second a crash may cost, few enough transactions to stay cheap.
constexpr auto kGatherFor = std::chrono::milliseconds(200);
constexpr int kSlots = 8;
const char *const kSuffixes[] = {"", "-wal", "-shm"};

void putVarint(QByteArray &out, quint64 v)
{
    while (v >= 0x80) {
        out.append(char(v | 0x80));
        v >>= 7;
    }
    out.append(char(v));
}

void put64(QByteArray &out, quint64 v)
{
    char b[8];
    std::memcpy(b, &v, 8);
    out.append(b, 8);
}

void putBytes(QByteArray &out, const QByteArray &bytes)
{
    putVarint(out, quint64(bytes.size()));
    out.append(bytes);
}

bool hasSource(const TCountSource &s)
{
    return s.What != TCountSource::Kind::NeverAsked || s.When.isValid() || !s.Reason.isNull();
}

// Reads what packRows wrote. Texts point into the packed bytes.
class TRowReader
{
public:
    explicit TRowReader(const QByteArray &packed)
        : m_p(packed.constData()), m_end(packed.constData() + packed.size())
    {
    }
    bool atEnd() const { return m_p >= m_end; }
    bool next(quint64 &id, KeywordRow &row)
    {
        if (m_end - m_p < 9)
            return false;
        id = get64();
        const quint8 flags = quint8(*m_p++);
        row.Checked = flags & 1;
        for (QByteArray &text : row.Texts)
            text = bytes();
        for (int e = 0; e < 3; ++e) {
            TCountSource &s = row.Sources[size_t(e)];
            if (!(flags & (2 << e))) {
                s = TCountSource();
                continue;
            }
            s.What = TCountSource::Kind(quint8(*m_p++));
            s.SearchType = int(quint8(*m_p++)) - 1;
            s.When = varint() ? QDateTime::fromMSecsSinceEpoch(qint64(get64())) : QDateTime();
            const quint64 reason = varint();
            s.Reason = reason ? QString::fromUtf8(m_p, qsizetype(reason - 1)) : QString();
            m_p += reason ? reason - 1 : 0;
        }
        return m_p <= m_end;
    }

private:
    quint64 get64()
    {
        quint64 v;
        std::memcpy(&v, m_p, 8);
        m_p += 8;
        return v;
    }
    quint64 varint()
    {
        quint64 v = 0;
        for (int shift = 0; m_p < m_end; shift += 7) {
            const quint8 b = quint8(*m_p++);
            v |= quint64(b & 0x7f) << shift;
            if (!(b & 0x80))
                break;
        }
        return v;
    }
    QByteArray bytes()
    {
        const quint64 n = varint();
        const QByteArray view = QByteArray::fromRawData(m_p, qsizetype(n));
        m_p += n;
        return view;
    }

    const char *m_p;
    const char *m_end;
};

// Moves a journal with its WAL files; whatever had the target's name goes.
bool moveJournal(const QString &from, const QString &to)
{
    for (const char *suffix : kSuffixes)
        QFile::remove(to + QLatin1String(suffix));
    bool ok = true;
    for (const char *suffix : kSuffixes) {
        const QString source = from + QLatin1String(suffix);
        if (QFile::exists(source) && !QFile::rename(source, to + QLatin1String(suffix)))
            ok = false;
    }
    return ok && !QFile::exists(from);
}

QString notKept(const QString &reason)
{
    return QStringLiteral("The list is not being kept on disk: ") + reason + QLatin1Char('.');
}

} // namespace

QString DefaultJournalFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/journal");
}

static QSettings journalSettings()
{
    return QSettings(QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick"));
}

bool JournalEnabledSetting()
{
    return journalSettings().value(QStringLiteral("journal/enabled"), true).toBool();
}

void SetJournalEnabledSetting(bool enabled)
{
    journalSettings().setValue(QStringLiteral("journal/enabled"), enabled);
}

QString TJournal::slotBase(const QString &folder, int slot)
{
    return folder + (slot <= 1 ? QStringLiteral("/list") : QStringLiteral("/list-%1").arg(slot));
}

TJournal::TJournal(QObject *parent) : QObject(parent) {}

TJournal::~TJournal()
{
    if (m_list && m_list->observer() == this)
        m_list->setObserver(nullptr);
    stopWriter();
}

void TJournal::attach(TKeywordList &list)
{
    m_list = &list;
    list.setObserver(this);
}

void TJournal::turnOff(const QString &reason)
{
    m_active = false;
    m_pending.reset();
    m_notice = notKept(reason);
    std::lock_guard lock(m_mutex);
    m_queue.clear();
}

bool TJournal::open(const QString &folder)
{
    m_folder = folder;
    const QFileInfo info(folder);
    if (!info.exists()) {
        if (folder.isEmpty() || !QDir().mkpath(folder)) {
            turnOff(QStringLiteral("its folder %1 cannot be made")
                        .arg(QDir::toNativeSeparators(folder)));
            return false;
        }
        // The journal holds the user's keywords: nobody else reads the folder.
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    } else if (!info.isDir()) {
        turnOff(QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(folder)));
        return false;
    }
    for (int slot = 1; slot <= kSlots && !m_lock; ++slot) {
        const QString base = slotBase(folder, slot);
        auto lock = std::make_unique<QLockFile>(base + QStringLiteral(".lock"));
        // Only a lock whose program has gone is stale, however old it is.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            m_base = base;
        } else if (lock->error() != QLockFile::LockFailedError) {
            turnOff(QStringLiteral("its folder %1 cannot be written")
                        .arg(QDir::toNativeSeparators(folder)));
            return false;
        }
    }
    if (!m_lock) {
        turnOff(QStringLiteral("every journal is taken by another copy of the program"));
        return false;
    }
    m_path = m_base + QStringLiteral(".journal");
    m_active = true;
    if (QFileInfo::exists(m_path)) {
        TJournalStore store;
        TJournalSummary summary;
        TJournalStore::Status s = store.openExisting(m_path);
        if (s == TJournalStore::Status::Ok)
            s = store.readSummary(summary);
        const QString error = store.errorText();
        store.close();
        switch (s) {
        case TJournalStore::Status::Locked:
            turnOff(QStringLiteral("its journal is in use by another program"));
            return false;
        case TJournalStore::Status::Failed:
            turnOff(QStringLiteral("its journal cannot be opened (%1)").arg(error));
            return false;
        case TJournalStore::Status::Damaged:
        case TJournalStore::Status::Future:
            setAside(error);
            break;
        case TJournalStore::Status::Ok:
            if (!summary.ClosedNormally && summary.Rows > 0) {
                m_pending = summary;
            } else {
                const QString previous = m_base + QStringLiteral(".previous.journal");
                if (!moveJournal(m_path, previous)) {
                    turnOff(QStringLiteral("the last list cannot be moved aside"));
                    return false;
                }
                m_previousAvailable = summary.Rows > 0;
            }
            break;
        }
        if (!m_active)
            return false;
    }
    if (m_pending)
        return true; // the writer starts once the user has answered
    return startWriting();
}

void TJournal::setAside(const QString &why)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = m_base + QStringLiteral(".damaged-") + stamp + QStringLiteral(".journal");
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = m_base + QStringLiteral(".damaged-%1-%2.journal").arg(stamp).arg(n);
    if (!moveJournal(m_path, target)) {
        turnOff(QStringLiteral("a damaged journal cannot be set aside"));
        return;
    }
    m_notice = QStringLiteral("The journal of the last list could not be read (%1); it was set "
                              "aside as %2.")
                   .arg(why, QDir::toNativeSeparators(target));
}

bool TJournal::startWriting()
{
    if (!m_active)
        return false;
    // Never overwrite a journal that something failed to move away.
    for (const char *suffix : kSuffixes) {
        if (QFileInfo::exists(m_path + QLatin1String(suffix))) {
            turnOff(QStringLiteral("the last journal is still in the way"));
            return false;
        }
    }
    if (m_store.create(m_path) != TJournalStore::Status::Ok || !m_store.setMeta("closed", 0) ||
        !m_store.setMeta("changed", QDateTime::currentMSecsSinceEpoch())) {
        const QString error = m_store.errorText();
        m_store.close();
        turnOff(QStringLiteral("its journal cannot be written (%1)").arg(error));
        return false;
    }
    m_nextPos = 0;
    m_writer = std::thread([this] { writerLoop(); });
    return true;
}

void TJournal::stopWriter()
{
    if (m_writer.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_writer.join();
    }
    m_store.close();
}

void TJournal::push(Change &&change)
{
    if (!m_active || m_failed)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(change));
        ++m_queuedSeq;
    }
    m_wake.notify_one();
}

void TJournal::flush()
{
    if (!m_writer.joinable())
        return;
    std::unique_lock lock(m_mutex);
    const quint64 target = m_queuedSeq;
    m_hurry = true;
    m_wake.notify_all();
    m_doneCv.wait(lock, [&] { return m_doneSeq >= target; });
}

void TJournal::writerLoop()
{
    using clock = std::chrono::steady_clock;
    auto lastCommit = clock::now() - kGatherFor;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            break; // stopped with nothing left to write
        if (!m_stop && !m_hurry)
            m_wake.wait_until(lock, lastCommit + kGatherFor, [&] { return m_stop || m_hurry; });
        std::vector<Change> batch;
        batch.swap(m_queue);
        const quint64 seq = m_queuedSeq;
        m_hurry = false;
        lock.unlock();

        if (!m_failed) {
            bool ok = m_store.begin();
            qint64 when = 0;
            for (const Change &change : batch) {
                if (!ok)
                    break;
                ok = apply(change);
                when = qMax(when, change.When);
            }
            if (ok && when)
                ok = m_store.setMeta("changed", when);
            if (ok)
                ok = m_store.commit();
            if (!ok) {
                const int code = sqlite3_errcode(m_store.handle()) & 0xff;
                const QString error = m_store.errorText();
                m_store.rollback();
                m_failed = true;
                if (!m_problemSent.exchange(true))
                    emit problem(notKept(code == SQLITE_FULL
                                             ? QStringLiteral("the disk is full")
                                             : QStringLiteral("writing failed (%1)").arg(error)));
            }
        }
        lastCommit = clock::now();
        lock.lock();
        m_doneSeq = seq;
        m_doneCv.notify_all();
    }
}

bool TJournal::apply(const Change &change)
{
    switch (change.What) {
    case Change::Kind::Append:
    case Change::Kind::Update: {
        TRowReader reader(change.Packed);
        KeywordRow row;
        quint64 id = 0;
        while (!reader.atEnd()) {
            if (!reader.next(id, row))
                return false;
            const bool ok = change.What == Change::Kind::Append
                                ? m_store.insertRow(id, m_nextPos++, row)
                                : m_store.updateRow(id, row);
            if (!ok)
                return false;
        }
        return true;
    }
    case Change::Kind::Remove:
        for (quint64 id : change.Ids)
            if (!m_store.deleteRow(id))
                return false;
        return true;
    case Change::Kind::Order:
        for (size_t i = 0; i < change.Ids.size(); ++i)
            if (!m_store.setPosition(change.Ids[i], qint64(i)))
                return false;
        m_nextPos = qint64(change.Ids.size());
        return true;
    case Change::Kind::Clear:
        return m_store.deleteAll();
    case Change::Kind::Run:
        return m_store.setMeta("run", change.A) && m_store.setMeta("run_type", change.B) &&
               m_store.setMeta("run_scope", change.C);
    case Change::Kind::Closed:
        return m_store.setMeta("closed", 1);
    }
    return false;
}

void TJournal::packRows(const TKeywordList &list, int first, int last, QByteArray &out) const
{
    out.reserve(out.size() + qsizetype(last - first + 1) * 48);
    for (int r = first; r <= last; ++r) {
        put64(out, list.rowId(r));
        quint8 flags = list.isChecked(r) ? 1 : 0;
        for (int e = 0; e < 3; ++e)
            if (hasSource(list.source(r, KeywordRow::Google + e)))
                flags |= quint8(2 << e);
        out.append(char(flags));
        for (int c = 0; c < KeywordRow::ColumnCount; ++c)
            putBytes(out, list.text(r, c));
        for (int e = 0; e < 3; ++e) {
            if (!(flags & (2 << e)))
                continue;
            const TCountSource &s = list.source(r, KeywordRow::Google + e);
            out.append(char(quint8(s.What)));
            out.append(char(quint8(s.SearchType + 1)));
            if (s.When.isValid()) {
                putVarint(out, 1);
                put64(out, quint64(s.When.toMSecsSinceEpoch()));
            } else {
                putVarint(out, 0);
            }
            if (s.Reason.isNull()) {
                putVarint(out, 0);
            } else {
                const QByteArray reason = s.Reason.toUtf8();
                putVarint(out, quint64(reason.size()) + 1);
                out.append(reason);
            }
        }
    }
}

void TJournal::RowsAppended(const TKeywordList &list, int first, int last)
{
    m_changed = true;
    if (!m_active || m_failed || last < first)
        return;
    Change c;
    c.What = Change::Kind::Append;
    c.When = QDateTime::currentMSecsSinceEpoch();
    packRows(list, first, last, c.Packed);
    push(std::move(c));
}

void TJournal::RowsRemoved(const TKeywordList &, const std::vector<quint64> &ids)
{
    m_changed = true;
    if (!m_active || m_failed || ids.empty())
        return;
    Change c;
    c.What = Change::Kind::Remove;
    c.When = QDateTime::currentMSecsSinceEpoch();
    c.Ids = ids;
    push(std::move(c));
}

void TJournal::RowsChanged(const TKeywordList &list, int first, int last)
{
    m_changed = true;
    if (!m_active || m_failed || last < first)
        return;
    Change c;
    c.What = Change::Kind::Update;
    c.When = QDateTime::currentMSecsSinceEpoch();
    packRows(list, first, last, c.Packed);
    push(std::move(c));
}

void TJournal::OrderChanged(const TKeywordList &list)
{
    m_changed = true;
    if (!m_active || m_failed)
        return;
    Change c;
    c.What = Change::Kind::Order;
    c.When = QDateTime::currentMSecsSinceEpoch();
    const int n = list.count();
    c.Ids.reserve(size_t(n));
    for (int r = 0; r < n; ++r)
        c.Ids.push_back(list.rowId(r));
    push(std::move(c));
}

void TJournal::Cleared(const TKeywordList &)
{
    m_changed = true;
    Change c;
    c.What = Change::Kind::Clear;
    c.When = QDateTime::currentMSecsSinceEpoch();
    push(std::move(c));
}

void TJournal::runStarted(int searchType, int scope)
{
    Change c;
    c.What = Change::Kind::Run;
    c.A = 1;
    c.B = searchType;
    c.C = scope;
    push(std::move(c));
}

void TJournal::runEnded()
{
    Change c;
    c.What = Change::Kind::Run;
    c.B = -1;
    c.C = -1;
    push(std::move(c));
}

void TJournal::closeNormally()
{
    if (m_writer.joinable()) {
        Change c;
        c.What = Change::Kind::Closed;
        push(std::move(c));
        flush();
    }
    stopWriter();
    m_active = false;
    m_pending.reset();
    if (m_lock)
        m_lock->unlock();
}

std::optional<TJournal::Restored> TJournal::loadInto(const QString &file,
                                                     const TJournalSummary &summary)
{
    std::vector<KeywordRow> rows;
    TJournalStore store;
    TJournalStore::Status s = store.openExisting(file);
    if (s == TJournalStore::Status::Ok)
        s = store.readRows(rows);
    const QString error = store.errorText();
    store.close();
    if (s != TJournalStore::Status::Ok) {
        m_notice = QStringLiteral("The list of the last run could not be read (%1).").arg(error);
        return std::nullopt;
    }
    Restored restored{int(rows.size()), summary};
    if (m_list)
        m_list->appendRows(std::move(rows));
    return restored;
}

std::optional<TJournal::Restored> TJournal::restore()
{
    if (!m_pending)
        return std::nullopt;
    const TJournalSummary summary = *m_pending;
    m_pending.reset();
    std::vector<KeywordRow> rows;
    TJournalStore store;
    TJournalStore::Status s = store.openExisting(m_path);
    if (s == TJournalStore::Status::Ok)
        s = store.readRows(rows);
    const QString error = store.errorText();
    store.close();
    if (s == TJournalStore::Status::Damaged || s == TJournalStore::Status::Future) {
        setAside(error);
        startWriting();
        return std::nullopt;
    }
    if (s != TJournalStore::Status::Ok) {
        turnOff(QStringLiteral("its journal cannot be read (%1)").arg(error));
        return std::nullopt;
    }
    // The restored journal becomes the previous one; this run writes anew
    // and takes the rows in as they are appended.
    if (moveJournal(m_path, m_base + QStringLiteral(".previous.journal")))
        startWriting();
    else
        turnOff(QStringLiteral("the last list cannot be moved aside"));
    Restored restored{int(rows.size()), summary};
    if (m_list)
        m_list->appendRows(std::move(rows));
    // An interrupted run stays interrupted until the next run.
    if (summary.RunActive)
        runStarted(summary.RunSearchType, summary.RunScope);
    return restored;
}

void TJournal::decline()
{
    if (!m_pending)
        return;
    m_pending.reset();
    if (!moveJournal(m_path, m_base + QStringLiteral(".backup.journal"))) {
        turnOff(QStringLiteral("the last list cannot be kept as a backup"));
        return;
    }
    startWriting();
}

bool TJournal::canReopenLast() const
{
    return m_previousAvailable && !m_changed && m_list;
}

std::optional<TJournal::Restored> TJournal::reopenLast()
{
    if (!canReopenLast())
        return std::nullopt;
    m_previousAvailable = false;
    return loadInto(m_base + QStringLiteral(".previous.journal"), {});
}
