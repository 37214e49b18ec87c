#include "journal/Journal.h"

#include "base/UserOptions.h"

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

bool JournalEnabledSetting()
{
    return OpenUserSettings()->value(QStringLiteral("journal/enabled"), true).toBool();
}

void SetJournalEnabledSetting(bool enabled)
{
    OpenUserSettings()->setValue(QStringLiteral("journal/enabled"), enabled);
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
    bool wasEmpty;
    {
        std::lock_guard lock(m_mutex);
        wasEmpty = m_queue.empty();
        m_queue.push_back(std::move(change));
        ++m_queuedSeq;
    }
    // The writer waits for a first change only; later ones it picks up when
    // its gathering time is over, without a thread switch per change.
    if (wasEmpty)
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
        // Packed as id, size, row, one after another.
        const char *p = change.Packed.constData();
        const char *const end = p + change.Packed.size();
        while (end - p >= 12) {
            quint64 id;
            quint32 size;
            std::memcpy(&id, p, 8);
            std::memcpy(&size, p + 8, 4);
            p += 12;
            if (quint64(end - p) < size)
                return false;
            const bool ok = change.What == Change::Kind::Append
                                ? m_store.insertRow(id, m_nextPos++, p, int(size))
                                : m_store.updateRow(id, p, int(size));
            if (!ok)
                return false;
            p += size;
        }
        return p == end;
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
        const quint64 id = list.rowId(r);
        out.append(reinterpret_cast<const char *>(&id), 8);
        const qsizetype at = out.size();
        out.append(4, '\0');
        PackRow(out, list, r);
        const quint32 size = quint32(out.size() - at - 4);
        std::memcpy(out.data() + at, &size, 4);
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
    rows.reserve(size_t(summary.Rows));
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
