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
    QByteArray digits = text;
    digits.replace(',', QByteArray());
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    return ok ? value : 0;
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

TKeywordList::TKeywordList(QObject *parent) : QAbstractTableModel(parent) {}

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
    KeywordRow row;
    row[KeywordRow::No] = QByteArray::number(n + 1);
    row[KeywordRow::Keywords] = keyword;
    row[KeywordRow::Searches] = searches;
    m_rows.push_back(std::move(row));
    AppendIds(1);
    endInsertRows();
    if (m_observer)
        m_observer->RowsAppended(*this, n, n);
}

void TKeywordList::appendKeywords(const QList<QByteArray> &keywords, int firstNumber)
{
    if (keywords.isEmpty())
        return;
    const int n = count();
    beginInsertRows(QModelIndex(), n, n + static_cast<int>(keywords.size()) - 1);
    m_rows.reserve(m_rows.size() + static_cast<size_t>(keywords.size()));
    int number = firstNumber;
    for (const QByteArray &keyword : keywords) {
        KeywordRow row;
        row[KeywordRow::No] = QByteArray::number(number++);
        row[KeywordRow::Keywords] = keyword;
        m_rows.push_back(std::move(row));
    }
    AppendIds(size_t(keywords.size()));
    endInsertRows();
    if (m_observer)
        m_observer->RowsAppended(*this, n, count() - 1);
}

void TKeywordList::appendRows(std::vector<KeywordRow> rows)
{
    if (rows.empty())
        return;
    const int n = count();
    beginInsertRows(QModelIndex(), n, n + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    AppendIds(rows.size());
    endInsertRows();
    if (m_observer)
        m_observer->RowsAppended(*this, n, count() - 1);
}

void TKeywordList::setCount(int row, int column, const QByteArray &text, const TCountSource &source)
{
    if (row < 0 || row >= count() || !KeywordRow::IsEngineColumn(column))
        return;
    KeywordRow &r = m_rows[static_cast<size_t>(row)];
    r[column] = text;
    r.source(column) = source;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole, Qt::ToolTipRole, CountFailedRole});
    if (m_observer)
        m_observer->RowsChanged(*this, row, row);
}

void TKeywordList::setCountSource(int row, int column, const TCountSource &source)
{
    if (row < 0 || row >= count() || !KeywordRow::IsEngineColumn(column))
        return;
    m_rows[static_cast<size_t>(row)].source(column) = source;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::ToolTipRole, CountFailedRole});
    if (m_observer)
        m_observer->RowsChanged(*this, row, row);
}

void TKeywordList::removeMarkedRows(const std::vector<bool> &drop)
{
    if (std::find(drop.begin(), drop.end(), true) == drop.end())
        return;
    // One pass that keeps order: scattered removals one by one would cost
    // a move of the tail each.
    beginResetModel();
    std::vector<quint64> gone;
    size_t kept = 0;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (i < drop.size() && drop[i]) {
            gone.push_back(m_ids[i]);
            continue;
        }
        if (kept != i) {
            m_rows[kept] = std::move(m_rows[i]);
            m_ids[kept] = m_ids[i];
        }
        ++kept;
    }
    m_rows.resize(kept);
    m_ids.resize(kept);
    endResetModel();
    if (m_observer)
        m_observer->RowsRemoved(*this, gone);
}

void TKeywordList::setText(int row, int column, const QByteArray &text)
{
    if (row < 0 || row >= count() || column < 0 || column >= KeywordRow::ColumnCount)
        return;
    m_rows[static_cast<size_t>(row)][column] = text;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole});
    if (m_observer)
        m_observer->RowsChanged(*this, row, row);
}

void TKeywordList::setChecked(int row, bool checked)
{
    if (row < 0 || row >= count())
        return;
    m_rows[static_cast<size_t>(row)].Checked = checked;
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
    if (m_observer)
        m_observer->RowsChanged(*this, row, row);
}

void TKeywordList::setAllChecked(bool checked)
{
    if (m_rows.empty())
        return;
    for (KeywordRow &row : m_rows)
        row.Checked = checked;
    emit dataChanged(index(0, 0), index(count() - 1, 0), {Qt::CheckStateRole});
    if (m_observer)
        m_observer->RowsChanged(*this, 0, count() - 1);
}

void TKeywordList::deleteChecked()
{
    // Walk from the last row to the first, removing runs of checked rows in
    // one notification each.
    int row = count() - 1;
    while (row >= 0) {
        if (!m_rows[static_cast<size_t>(row)].Checked) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && m_rows[static_cast<size_t>(first - 1)].Checked)
            --first;
        beginRemoveRows(QModelIndex(), first, row);
        const std::vector<quint64> gone(m_ids.begin() + first, m_ids.begin() + row + 1);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + row + 1);
        m_ids.erase(m_ids.begin() + first, m_ids.begin() + row + 1);
        endRemoveRows();
        if (m_observer)
            m_observer->RowsRemoved(*this, gone);
        row = first - 1;
    }
}

void TKeywordList::deleteAll()
{
    beginResetModel();
    m_rows.clear();
    m_ids.clear();
    endResetModel();
    if (m_observer)
        m_observer->Cleared(*this);
}

void TKeywordList::sortByColumn(int column, bool ascending)
{
    if (column < 0 || column >= KeywordRow::ColumnCount || m_rows.size() < 2)
        return;
    const size_t n = m_rows.size();
    std::vector<int> order(n);

    // Keys are computed once per row and sorted together with the row's
    // index, so comparisons read neighbouring memory.
    auto sortWith = [&](auto keyOf, auto compare) {
        using Key = decltype(keyOf(m_rows[0]));
        std::vector<std::pair<Key, int>> keyed;
        keyed.reserve(n);
        for (size_t i = 0; i < n; ++i)
            keyed.emplace_back(keyOf(m_rows[i]), static_cast<int>(i));
        std::stable_sort(keyed.begin(), keyed.end(), [&](const auto &a, const auto &b) {
            const int c = compare(a.first, b.first);
            return ascending ? c < 0 : c > 0;
        });
        for (size_t i = 0; i < n; ++i)
            order[i] = keyed[i].second;
    };

    if (column == KeywordRow::Keywords && QLocale().language() == QLocale::C) {
        // The C locale collates by code unit; folding first makes it
        // case-insensitive, and plain strings compare much faster than keys.
        sortWith(
            [](const KeywordRow &row) {
                return ToScreen(row[KeywordRow::Keywords]).toCaseFolded();
            },
            [](const QString &a, const QString &b) { return QString::compare(a, b); });
    } else if (column == KeywordRow::Keywords) {
        QCollator collator{QLocale()};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        sortWith(
            [&](const KeywordRow &row) {
                return collator.sortKey(ToScreen(row[KeywordRow::Keywords]));
            },
            [](const QCollatorSortKey &a, const QCollatorSortKey &b) { return a.compare(b); });
    } else {
        sortWith([&](const KeywordRow &row) { return SortNumber(row[column]); },
                 [](qint64 a, qint64 b) { return a < b ? -1 : (a > b ? 1 : 0); });
    }

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<KeywordRow> sorted;
    sorted.reserve(n);
    std::vector<quint64> sortedIds;
    sortedIds.reserve(n);
    std::vector<int> newRowOf(n);
    for (size_t i = 0; i < n; ++i) {
        sorted.push_back(std::move(m_rows[static_cast<size_t>(order[i])]));
        sortedIds.push_back(m_ids[static_cast<size_t>(order[i])]);
        newRowOf[static_cast<size_t>(order[i])] = static_cast<int>(i);
    }
    m_rows.swap(sorted);
    m_ids.swap(sortedIds);
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex &old : persistent)
        moved.append(index(newRowOf[static_cast<size_t>(old.row())], old.column()));
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    if (m_observer)
        m_observer->OrderChanged(*this);
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
    const KeywordRow &r = row(index.row());
    if (role == Qt::DisplayRole)
        return ToScreen(r[index.column()]);
    if (role == Qt::CheckStateRole && index.column() == 0)
        return r.Checked ? Qt::Checked : Qt::Unchecked;
    if (KeywordRow::IsEngineColumn(index.column())) {
        const TCountSource &source = r.source(index.column());
        if (role == Qt::ToolTipRole && source.What != TCountSource::Kind::NeverAsked)
            return CountSourceText(source);
        if (role == CountFailedRole)
            return source.What == TCountSource::Kind::Failed;
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
