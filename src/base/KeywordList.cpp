#include "base/KeywordList.h"
#include "base/ScreenText.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <numeric>
#include <utility>

const char *const TKeywordList::Headers[KeywordRow::ColumnCount] = {
    "No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};
const int TKeywordList::ColumnWidths[KeywordRow::ColumnCount] = {49, 132, 132, 104, 104, 104};

qint64 SortNumber(const QByteArray &text)
{
    return CountNumber(text).value_or(0);
}

QString CountSourceText(const TCountSource &source)
{
    switch (source.What) {
    case TCountSource::Kind::NeverAsked:
        break;
    case TCountSource::Kind::Count:
        return (source.SearchType == 0 ? QStringLiteral("precise search, ")
                                       : QStringLiteral("broad search, ")) +
               source.When.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case TCountSource::Kind::NoCount:
        return QStringLiteral("the page showed no count");
    case TCountSource::Kind::Failed:
        return QStringLiteral("no answer: ") + source.Reason;
    }
    return {};
}

std::optional<qint64> CountNumber(QByteArrayView text)
{
    if (text.isEmpty())
        return std::nullopt;
    // Digits with thousands separators: the common case, parsed by hand.
    char digits[40];
    qsizetype n = 0;
    for (char c : text) {
        if (c == ',')
            continue;
        if (n == qsizetype(sizeof digits))
            return std::nullopt;
        digits[n++] = c;
    }
    bool ok = false;
    const qint64 value = QByteArrayView(digits, n).toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

TKeywordList::TKeywordList(QObject *parent) : QAbstractTableModel(parent) {}

KeywordRow TKeywordList::row(int index) const
{
    KeywordRow r;
    for (int c = 0; c < KeywordRow::ColumnCount; ++c)
        r[c] = text(index, c);
    r.Checked = isChecked(index);
    for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c)
        r.source(c) = source(index, c);
    return r;
}

TCountSource TKeywordList::source(int row, int engineColumn) const
{
    const PackedSource &p = m_sources[At(row) * 3 + size_t(engineColumn - KeywordRow::Google)];
    TCountSource s;
    s.What = p.What;
    s.SearchType = p.SearchType;
    if (p.WhenMs != 0)
        s.When = QDateTime::fromMSecsSinceEpoch(p.WhenMs);
    s.Reason = m_reasons[p.Reason];
    return s;
}

TKeywordList::PackedSource TKeywordList::Pack(const TCountSource &source)
{
    PackedSource p;
    p.What = source.What;
    p.SearchType = static_cast<qint8>(source.SearchType);
    p.WhenMs = source.When.isValid() ? source.When.toMSecsSinceEpoch() : 0;
    if (!source.Reason.isEmpty()) {
        auto it = m_reasonIndex.constFind(source.Reason);
        if (it == m_reasonIndex.cend()) {
            it = m_reasonIndex.insert(source.Reason, quint32(m_reasons.size()));
            m_reasons.append(source.Reason);
        }
        p.Reason = *it;
    }
    return p;
}

void TKeywordList::StoreNumber(size_t row, int column, QByteArrayView text)
{
    if (column == KeywordRow::Keywords)
        return;
    const std::optional<qint64> v = CountNumber(text);
    m_numbers[row * NumberColumns + size_t(NumberSlot(column))] = v ? *v : NoNumber;
}

void TKeywordList::PushRow(const std::array<QByteArrayView, KeywordRow::ColumnCount> &texts,
                           bool checked)
{
    Span span;
    span.Offset = m_bytes.size();
    for (int c = 0; c < KeywordRow::ColumnCount; ++c) {
        span.Length[size_t(c)] = quint32(texts[size_t(c)].size());
        m_bytes.insert(m_bytes.end(), texts[size_t(c)].begin(), texts[size_t(c)].end());
    }
    m_spans.push_back(span);
    const size_t r = m_spans.size() - 1;
    m_order.push_back(quint32(r));
    m_numbers.resize(m_numbers.size() + NumberColumns);
    for (int c = 0; c < KeywordRow::ColumnCount; ++c)
        StoreNumber(r, c, texts[size_t(c)]);
    m_sources.resize(m_sources.size() + 3);
    m_checked.push_back(checked ? 1 : 0);
}

void TKeywordList::AppendIds(size_t count)
{
    m_ids.reserve(m_ids.size() + count);
    for (size_t i = 0; i < count; ++i)
        m_ids.push_back(m_nextId++);
}

void TKeywordList::addRow(const QByteArray &keyword, const QByteArray &searches)
{
    const int n = count();
    beginInsertRows(QModelIndex(), n, n);
    const QByteArray number = QByteArray::number(n + 1);
    PushRow({number, keyword, searches, {}, {}, {}}, false);
    AppendIds(1);
    endInsertRows();
    ++m_generation;
    if (m_observer)
        m_observer->RowsAppended(*this, n, n);
}

void TKeywordList::appendKeywords(const QList<QByteArray> &keywords, int firstNumber)
{
    if (keywords.isEmpty())
        return;
    const int n = count();
    beginInsertRows(QModelIndex(), n, n + static_cast<int>(keywords.size()) - 1);
    const size_t more = size_t(keywords.size());
    m_spans.reserve(m_spans.size() + more);
    m_order.reserve(m_order.size() + more);
    m_numbers.reserve(m_numbers.size() + more * NumberColumns);
    m_sources.reserve(m_sources.size() + more * 3);
    m_checked.reserve(m_checked.size() + more);
    int number = firstNumber;
    for (const QByteArray &keyword : keywords) {
        const QByteArray no = QByteArray::number(number++);
        PushRow({no, keyword, {}, {}, {}, {}}, false);
    }
    AppendIds(more);
    endInsertRows();
    ++m_generation;
    if (m_observer)
        m_observer->RowsAppended(*this, n, count() - 1);
}

void TKeywordList::appendRows(std::vector<KeywordRow> rows)
{
    if (rows.empty())
        return;
    const int n = count();
    beginInsertRows(QModelIndex(), n, n + static_cast<int>(rows.size()) - 1);
    const size_t more = rows.size();
    size_t bytes = 0;
    for (const KeywordRow &r : rows)
        for (const QByteArray &t : r.Texts)
            bytes += size_t(t.size());
    m_bytes.reserve(m_bytes.size() + bytes);
    m_spans.reserve(m_spans.size() + more);
    m_order.reserve(m_order.size() + more);
    m_numbers.reserve(m_numbers.size() + more * NumberColumns);
    m_sources.reserve(m_sources.size() + more * 3);
    m_checked.reserve(m_checked.size() + more);
    for (KeywordRow &r : rows) {
        PushRow({r.Texts[0], r.Texts[1], r.Texts[2], r.Texts[3], r.Texts[4], r.Texts[5]},
                r.Checked);
        const size_t at = (m_spans.size() - 1) * 3;
        for (size_t e = 0; e < 3; ++e)
            m_sources[at + e] = Pack(r.Sources[e]);
        r = KeywordRow(); // the copy is in the arena: free the row's own bytes now
    }
    AppendIds(more);
    endInsertRows();
    ++m_generation;
    if (m_observer)
        m_observer->RowsAppended(*this, n, count() - 1);
}

void TKeywordList::ReplaceText(int row, int column, QByteArrayView text)
{
    Span &span = m_spans[At(row)];
    if (QByteArrayView(textView(row, column)) == text)
        return;
    // The row's texts move to the end of the arena with the new one in
    // place; the old run becomes waste until the next compaction.
    Span moved;
    moved.Offset = m_bytes.size();
    const quint64 oldTotal = span.total();
    for (int c = 0; c < KeywordRow::ColumnCount; ++c) {
        const QByteArrayView part = c == column ? text : textView(row, c);
        // Appending may move the arena, so copy what is read from it first.
        const QByteArray copy = part.toByteArray();
        m_bytes.insert(m_bytes.end(), copy.begin(), copy.end());
        moved.Length[size_t(c)] = quint32(copy.size());
    }
    span = moved;
    m_wasted += oldTotal;
    StoreNumber(At(row), column, text);
    CompactIfWasteful();
}

void TKeywordList::CompactIfWasteful()
{
    if (m_wasted < (1u << 20) || m_wasted * 2 < m_bytes.size())
        return;
    std::vector<char> packed;
    packed.reserve(m_bytes.size() - m_wasted);
    for (Span &span : m_spans) {
        const quint64 total = span.total();
        const quint64 offset = packed.size();
        packed.insert(packed.end(), m_bytes.begin() + qsizetype(span.Offset),
                      m_bytes.begin() + qsizetype(span.Offset + total));
        span.Offset = offset;
    }
    m_bytes.swap(packed);
    m_wasted = 0;
}

void TKeywordList::SetSource(int row, int column, const TCountSource &source)
{
    m_sources[At(row) * 3 + size_t(column - KeywordRow::Google)] = Pack(source);
}

void TKeywordList::setCount(int row, int column, const QByteArray &text, const TCountSource &source)
{
    if (row < 0 || row >= count() || !KeywordRow::IsEngineColumn(column))
        return;
    ReplaceText(row, column, text);
    SetSource(row, column, source);
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole, Qt::ToolTipRole, CountFailedRole});
    ++m_generation;
    if (m_observer)
        m_observer->RowsChanged(*this, row, row);
}

void TKeywordList::setCountSource(int row, int column, const TCountSource &source)
{
    if (row < 0 || row >= count() || !KeywordRow::IsEngineColumn(column))
        return;
    SetSource(row, column, source);
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::ToolTipRole, CountFailedRole});
    ++m_generation;
    if (m_observer)
        m_observer->RowsChanged(*this, row, row);
}

template <typename Keep> void TKeywordList::KeepRows(Keep keep, std::vector<quint64> &gone)
{
    std::vector<quint32> kept;
    kept.reserve(m_order.size());
    for (size_t i = 0; i < m_order.size(); ++i) {
        if (keep(i)) {
            kept.push_back(m_order[i]);
            continue;
        }
        gone.push_back(m_ids[m_order[i]]);
        m_wasted += m_spans[m_order[i]].total();
        ++m_orphans;
    }
    m_order.swap(kept);
    if (m_order.empty()) {
        ClearStorage();
        return;
    }
    Repack();
}

void TKeywordList::Repack()
{
    const size_t n = m_order.size();
    auto repack = [&](auto &v, size_t per) {
        std::remove_reference_t<decltype(v)> packed(n * per);
        for (size_t i = 0; i < n; ++i)
            std::copy_n(v.begin() + qsizetype(size_t(m_order[i]) * per), per,
                        packed.begin() + qsizetype(i * per));
        v.swap(packed);
    };
    repack(m_spans, 1);
    repack(m_ids, 1);
    repack(m_checked, 1);
    repack(m_numbers, NumberColumns);
    repack(m_sources, 3);
    std::iota(m_order.begin(), m_order.end(), 0u);
    m_orphans = 0;
    CompactIfWasteful();
}

void TKeywordList::removeMarkedRows(const std::vector<bool> &drop)
{
    if (std::find(drop.begin(), drop.end(), true) == drop.end())
        return;
    // One pass that keeps order: scattered removals one by one would cost
    // a move of the tail each.
    beginResetModel();
    std::vector<quint64> gone;
    KeepRows([&](size_t i) { return !(i < drop.size() && drop[i]); }, gone);
    endResetModel();
    ++m_generation;
    if (m_observer)
        m_observer->RowsRemoved(*this, gone);
}

void TKeywordList::setText(int row, int column, const QByteArray &text)
{
    if (row < 0 || row >= count() || column < 0 || column >= KeywordRow::ColumnCount)
        return;
    ReplaceText(row, column, text);
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole});
    ++m_generation;
    if (m_observer)
        m_observer->RowsChanged(*this, row, row);
}

void TKeywordList::setChecked(int row, bool checked)
{
    if (row < 0 || row >= count())
        return;
    m_checked[At(row)] = checked ? 1 : 0;
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
    ++m_generation;
    if (m_observer)
        m_observer->RowsChanged(*this, row, row);
}

void TKeywordList::setAllChecked(bool checked)
{
    if (m_order.empty())
        return;
    std::fill(m_checked.begin(), m_checked.end(), checked ? 1 : 0);
    emit dataChanged(index(0, 0), index(count() - 1, 0), {Qt::CheckStateRole});
    ++m_generation;
    if (m_observer)
        m_observer->RowsChanged(*this, 0, count() - 1);
}

void TKeywordList::setCheckedRows(const std::vector<int> &rows, bool checked)
{
    int first = INT_MAX, last = -1;
    for (int r : rows) {
        if (r < 0 || r >= count())
            continue;
        m_checked[At(r)] = checked ? 1 : 0;
        first = std::min(first, r);
        last = std::max(last, r);
    }
    if (last < 0)
        return;
    emit dataChanged(index(first, 0), index(last, 0), {Qt::CheckStateRole});
    ++m_generation;
    if (m_observer)
        m_observer->RowsChanged(*this, first, last);
}

void TKeywordList::deleteChecked()
{
    // Walk from the last row to the first, removing runs of checked rows in
    // one notification each.
    int row = count() - 1;
    while (row >= 0) {
        if (!isChecked(row)) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && isChecked(first - 1))
            --first;
        beginRemoveRows(QModelIndex(), first, row);
        std::vector<quint64> gone;
        for (int r = first; r <= row; ++r) {
            gone.push_back(rowId(r));
            m_wasted += m_spans[At(r)].total();
        }
        m_order.erase(m_order.begin() + first, m_order.begin() + row + 1);
        m_orphans += size_t(row - first + 1);
        endRemoveRows();
        ++m_generation;
        if (m_observer)
            m_observer->RowsRemoved(*this, gone);
        row = first - 1;
    }
    // The stored rows of the removed ones go when they are many.
    if (m_orphans > 0 && m_orphans * 2 >= m_spans.size())
        Repack();
}

void TKeywordList::deleteAll()
{
    beginResetModel();
    ClearStorage();
    endResetModel();
    ++m_generation;
    if (m_observer)
        m_observer->Cleared(*this);
}

size_t TKeywordList::memoryInUse() const
{
    return m_bytes.capacity() + m_order.capacity() * sizeof(quint32) +
           m_spans.capacity() * sizeof(Span) + m_numbers.capacity() * sizeof(qint64) +
           m_sources.capacity() * sizeof(PackedSource) + m_checked.capacity() +
           m_ids.capacity() * sizeof(quint64);
}

namespace {

// A keyword's sort key in the C locale: case-folded UTF-8, whose byte order
// is the order of code points. ASCII, the usual case, is folded in place.
void AppendFoldedKey(std::string &keys, QByteArrayView keyword)
{
    bool ascii = true;
    for (char c : keyword)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        for (char c : keyword)
            keys.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
        return;
    }
    const QByteArray folded = ToScreen(keyword).toCaseFolded().toUtf8();
    keys.append(folded.constData(), size_t(folded.size()));
}

struct TextKey
{
    // The first sixteen bytes as two big-endian numbers, zero-padded.
    quint64 Prefix[2];
    quint32 Offset;
    quint32 Length;
    int Row;
};

} // namespace

TKeywordList::SortInput TKeywordList::sortInput(int column) const
{
    // Whole stores are copied as they lie: sequential copies, a few
    // milliseconds for a million rows; the sort itself finds the keys.
    SortInput in;
    if (column < 0 || column >= KeywordRow::ColumnCount)
        return in;
    in.Column = column;
    in.Order = m_order;
    if (column == KeywordRow::Keywords) {
        in.Bytes = m_bytes;
        in.Spans = m_spans;
    } else {
        const size_t slot = size_t(NumberSlot(column));
        const size_t stored = m_spans.size();
        in.Numbers.resize(stored);
        for (size_t i = 0; i < stored; ++i) {
            const qint64 v = m_numbers[i * NumberColumns + slot];
            in.Numbers[i] = v == NoNumber ? 0 : v;
        }
    }
    return in;
}

namespace {

// keys by position, or by stored row when order is given.
template <typename T>
std::vector<int> NumberOrder(const std::vector<T> &keys, const std::vector<quint32> *stored,
                             bool ascending)
{
    const size_t n = stored ? stored->size() : keys.size();
    std::vector<std::pair<T, int>> keyed(n);
    for (size_t i = 0; i < n; ++i)
        keyed[i] = {keys[stored ? (*stored)[i] : i], int(i)};
    // Equal keys keep their order: the row breaks ties.
    std::sort(keyed.begin(), keyed.end(), [&](const auto &a, const auto &b) {
        if (a.first != b.first)
            return ascending ? a.first < b.first : a.first > b.first;
        return a.second < b.second;
    });
    std::vector<int> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = keyed[i].second;
    return order;
}

} // namespace

std::vector<int> TKeywordList::SortOrder(const SortInput &in, bool ascending)
{
    if (!in.Reals.empty())
        return NumberOrder(in.Reals, nullptr, ascending);
    if (in.Column != KeywordRow::Keywords)
        return NumberOrder(in.Numbers, &in.Order, ascending);
    const size_t n = in.Order.size();
    auto keyword = [&](size_t i) {
        const Span &s = in.Spans[in.Order[i]];
        return QByteArrayView(in.Bytes.data() + s.Offset + s.Length[KeywordRow::No],
                              qsizetype(s.Length[KeywordRow::Keywords]));
    };
    std::vector<int> order(n);
    if (QLocale().language() == QLocale::C) {
        // Keys in one block, sorted by their first sixteen bytes as numbers
        // and only then by the rest: most comparisons touch no key text.
        std::string keys;
        keys.reserve(in.Bytes.size());
        std::vector<TextKey> keyed(n);
        for (size_t i = 0; i < n; ++i) {
            const size_t at = keys.size();
            AppendFoldedKey(keys, keyword(i));
            const size_t length = keys.size() - at;
            TextKey &k = keyed[i];
            for (size_t half = 0; half < 2; ++half) {
                quint64 prefix = 0;
                for (size_t b = half * 8; b < half * 8 + 8; ++b)
                    prefix = (prefix << 8) |
                             (b < length ? static_cast<unsigned char>(keys[at + b]) : 0u);
                k.Prefix[half] = prefix;
            }
            k.Offset = quint32(at);
            k.Length = quint32(length);
            k.Row = int(i);
        }
        const char *base = keys.data();
        auto compare = [base](const TextKey &a, const TextKey &b) {
            if (a.Prefix[0] != b.Prefix[0])
                return a.Prefix[0] < b.Prefix[0] ? -1 : 1;
            if (a.Prefix[1] != b.Prefix[1])
                return a.Prefix[1] < b.Prefix[1] ? -1 : 1;
            const size_t common = std::min(a.Length, b.Length);
            if (common > 16) {
                const int c = memcmp(base + a.Offset + 16, base + b.Offset + 16, common - 16);
                if (c != 0)
                    return c;
            }
            return a.Length < b.Length ? -1 : (a.Length > b.Length ? 1 : 0);
        };
        std::sort(keyed.begin(), keyed.end(), [&](const TextKey &a, const TextKey &b) {
            const int c = compare(a, b);
            if (c != 0)
                return ascending ? c < 0 : c > 0;
            return a.Row < b.Row;
        });
        for (size_t i = 0; i < n; ++i)
            order[i] = keyed[i].Row;
        return order;
    }
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QCollatorSortKey, int>> keyed;
    keyed.reserve(n);
    for (size_t i = 0; i < n; ++i)
        keyed.emplace_back(collator.sortKey(ToScreen(keyword(i))), int(i));
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto &a, const auto &b) {
        const int c = a.first.compare(b.first);
        return ascending ? c < 0 : c > 0;
    });
    for (size_t i = 0; i < n; ++i)
        order[i] = keyed[i].second;
    return order;
}

std::vector<int> TKeywordList::sortOrder(int column, bool ascending) const
{
    if (column < 0 || column >= KeywordRow::ColumnCount || m_order.size() < 2) {
        std::vector<int> order(m_order.size());
        std::iota(order.begin(), order.end(), 0);
        return order;
    }
    return SortOrder(sortInput(column), ascending);
}

void TKeywordList::applyOrder(const std::vector<int> &order)
{
    const size_t n = m_order.size();
    if (order.size() != n || n < 2)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<quint32> sorted(n);
    for (size_t i = 0; i < n; ++i)
        sorted[i] = m_order[size_t(order[i])];
    m_order.swap(sorted);
    emit orderApplied(order);
    std::vector<int> newRowOf(n);
    for (size_t i = 0; i < n; ++i)
        newRowOf[size_t(order[i])] = int(i);
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex &old : persistent)
        moved.append(index(newRowOf[size_t(old.row())], old.column()));
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    ++m_generation;
    if (m_observer)
        m_observer->OrderChanged(*this);
}

void TKeywordList::sortByColumn(int column, bool ascending)
{
    if (column < 0 || column >= KeywordRow::ColumnCount || m_order.size() < 2)
        return;
    applyOrder(sortOrder(column, ascending));
}

int TKeywordList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int TKeywordList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : KeywordRow::ColumnCount;
}

QVariant TKeywordList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const int r = index.row();
    if (role == Qt::DisplayRole)
        return ToScreen(textView(r, index.column()));
    if (role == Qt::CheckStateRole && index.column() == 0)
        return isChecked(r) ? Qt::Checked : Qt::Unchecked;
    if (KeywordRow::IsEngineColumn(index.column())) {
        const TCountSource::Kind kind = sourceKind(r, index.column());
        if (role == Qt::ToolTipRole && kind != TCountSource::Kind::NeverAsked)
            return CountSourceText(source(r, index.column()));
        if (role == CountFailedRole)
            return kind == TCountSource::Kind::Failed;
    }
    return {};
}

bool TKeywordList::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags TKeywordList::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant TKeywordList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < KeywordRow::ColumnCount)
        return QString::fromLatin1(Headers[section]);
    return {};
}

void TKeywordList::ClearStorage()
{
    m_bytes = {};
    m_order = {};
    m_spans = {};
    m_numbers = {};
    m_sources = {};
    m_checked = {};
    m_ids = {};
    m_wasted = 0;
    m_orphans = 0;
}
