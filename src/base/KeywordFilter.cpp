#include "base/KeywordFilter.h"

#include "base/KeywordList.h"
#include "base/ScreenText.h"

#include <QLocale>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

QString EngineName(int column)
{
    return QString::fromLatin1(TKeywordList::Headers[column]);
}

} // namespace

std::optional<double> KeiValue(const TKeywordList &list, int row, int engineColumn)
{
    const std::optional<qint64> searches = list.number(row, KeywordRow::Searches);
    const std::optional<qint64> count = list.number(row, engineColumn);
    if (!searches || !count || *count == 0)
        return std::nullopt;
    // In doubles: a square of a 64-bit count does not fit 64 bits.
    const double s = double(*searches);
    return s * s / double(*count);
}

QString KeiMissingReason(const TKeywordList &list, int row, int engineColumn)
{
    const std::optional<qint64> searches = list.number(row, KeywordRow::Searches);
    const std::optional<qint64> count = list.number(row, engineColumn);
    if (!searches)
        return QStringLiteral("No KEI: the row has no Searches count.");
    if (!count)
        return QStringLiteral("No KEI: the row has no %1 count.").arg(EngineName(engineColumn));
    if (*count == 0)
        return QStringLiteral("No KEI: the %1 count is 0.").arg(EngineName(engineColumn));
    return {};
}

QString KeiText(double kei)
{
    QString text = QLocale::c().toString(kei, 'f', 2);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

TKeiBand KeiBand(double kei, const TKeiOptions &options)
{
    if (kei >= options.Excellent)
        return TKeiBand::Excellent;
    if (kei >= options.Good)
        return TKeiBand::Good;
    return TKeiBand::Poor;
}

QString KeiBandName(TKeiBand band)
{
    switch (band) {
    case TKeiBand::Excellent:
        return QStringLiteral("excellent");
    case TKeiBand::Good:
        return QStringLiteral("good");
    case TKeiBand::Poor:
        return QStringLiteral("poor");
    case TKeiBand::None:
        break;
    }
    return {};
}

bool TKeywordFilter::isActive() const
{
    return !NegativeWords.isEmpty() || !MustContain.isEmpty() || MinWords > 0 || MaxWords > 0 ||
           MinSearches >= 0 || MaxCount >= 0 || MinKei >= 0;
}

// ---- matching ---------------------------------------------------------------

std::string TFilterMatcher::FoldWords(QByteArrayView text)
{
    std::string out;
    out.reserve(size_t(text.size()));
    bool ascii = true;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    bool gap = false;
    if (ascii) {
        for (char c : text) {
            const bool word =
                (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            if (!word) {
                gap = !out.empty();
                continue;
            }
            if (gap)
                out.push_back(' ');
            gap = false;
            out.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
        }
        return out;
    }
    const QString folded = ToScreen(text).toCaseFolded();
    QString words;
    words.reserve(folded.size());
    for (QChar c : folded) {
        if (!c.isLetterOrNumber() && !c.isMark()) {
            gap = !words.isEmpty();
            continue;
        }
        if (gap)
            words.append(QLatin1Char(' '));
        gap = false;
        words.append(c);
    }
    const QByteArray utf8 = words.toUtf8();
    return std::string(utf8.constData(), size_t(utf8.size()));
}

int TFilterMatcher::WordCount(QByteArrayView text)
{
    int words = 0;
    bool inWord = false;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
        if (!blank && !inWord)
            ++words;
        inWord = !blank;
    }
    return words;
}

bool TFilterMatcher::HoldsPhrase(const std::string &words, const std::string &phrase)
{
    size_t at = 0;
    while ((at = words.find(phrase, at)) != std::string::npos) {
        const size_t end = at + phrase.size();
        if ((at == 0 || words[at - 1] == ' ') && (end == words.size() || words[end] == ' '))
            return true;
        ++at;
    }
    return false;
}

TFilterMatcher::TFilterMatcher(const TKeywordFilter &filter, int keiEngineColumn)
    : m_filter(filter), m_keiEngine(keiEngineColumn)
{
    for (const QString &w : filter.NegativeWords) {
        std::string folded = FoldWords(FromScreen(w));
        if (!folded.empty())
            m_negative.push_back(std::move(folded));
    }
    for (const QString &w : filter.MustContain) {
        std::string folded = FoldWords(FromScreen(w));
        if (!folded.empty())
            m_must.push_back(std::move(folded));
    }
    m_needWords = !m_negative.empty() || !m_must.empty();
}

bool TFilterMatcher::matches(const TKeywordList &list, int row) const
{
    if (m_filter.MinSearches >= 0) {
        const std::optional<qint64> s = list.number(row, KeywordRow::Searches);
        if (!s || *s < m_filter.MinSearches)
            return false;
    }
    if (m_filter.MaxCount >= 0) {
        const std::optional<qint64> c = list.number(row, m_filter.MaxCountColumn);
        if (!c || *c > m_filter.MaxCount)
            return false;
    }
    if (m_filter.MinKei >= 0) {
        const std::optional<double> k = KeiValue(list, row, m_keiEngine);
        if (!k || *k < m_filter.MinKei)
            return false;
    }
    const QByteArrayView keyword = list.textView(row, KeywordRow::Keywords);
    if (m_filter.MinWords > 0 || m_filter.MaxWords > 0) {
        const int n = WordCount(keyword);
        if (m_filter.MinWords > 0 && n < m_filter.MinWords)
            return false;
        if (m_filter.MaxWords > 0 && n > m_filter.MaxWords)
            return false;
    }
    if (m_needWords) {
        const std::string words = FoldWords(keyword);
        for (const std::string &p : m_negative)
            if (HoldsPhrase(words, p))
                return false;
        for (const std::string &p : m_must)
            if (!HoldsPhrase(words, p))
                return false;
    }
    return true;
}

// ---- the view's model ---------------------------------------------------------

struct TKeywordViewModel::Pending
{
    Pending(const TKeywordFilter &f, int keiEngine) : Filter(f), Matcher(f, keiEngine) {}
    TKeywordFilter Filter;
    TFilterMatcher Matcher;
    int Next = 0;
    std::vector<int> Shown;
};

TKeywordViewModel::TKeywordViewModel(TKeywordList &list, QObject *parent)
    : QAbstractTableModel(parent), m_list(list), m_identityRows(list.count())
{
    m_slices = new QTimer(this);
    m_slices->setSingleShot(true);
    m_slices->setInterval(0);
    connect(m_slices, &QTimer::timeout, this, &TKeywordViewModel::RunSlice);

    connect(&m_list, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                // While a filter is being applied, its slices reach these
                // rows too.
                if (!m_filtering) {
                    beginInsertRows({}, m_identityRows, m_identityRows + (last - first));
                    m_identityRows = m_list.count();
                    endInsertRows();
                    return;
                }
                const TFilterMatcher matcher(m_filter, m_kei.EngineColumn);
                std::vector<int> more;
                for (int r = first; r <= last; ++r)
                    if (matcher.matches(m_list, r))
                        more.push_back(r);
                m_identityRows = m_list.count();
                if (more.empty())
                    return;
                const int at = int(m_shown.size());
                beginInsertRows({}, at, at + int(more.size()) - 1);
                m_shown.insert(m_shown.end(), more.begin(), more.end());
                endInsertRows();
            });
    connect(&m_list, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                if (m_pending)
                    m_pending->Next = 0, m_pending->Shown.clear();
                if (!m_filtering) {
                    beginRemoveRows({}, first, last);
                    return;
                }
                const auto lo = std::lower_bound(m_shown.begin(), m_shown.end(), first);
                const auto hi = std::upper_bound(m_shown.begin(), m_shown.end(), last);
                if (lo != hi)
                    beginRemoveRows({}, int(lo - m_shown.begin()), int(hi - m_shown.begin()) - 1);
            });
    connect(&m_list, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                const int gone = last - first + 1;
                m_identityRows = m_list.count();
                if (!m_filtering) {
                    endRemoveRows();
                    return;
                }
                const auto lo = std::lower_bound(m_shown.begin(), m_shown.end(), first);
                const auto hi = std::upper_bound(m_shown.begin(), m_shown.end(), last);
                const bool any = lo != hi;
                for (auto it = m_shown.erase(lo, hi); it != m_shown.end(); ++it)
                    *it -= gone;
                if (any)
                    endRemoveRows();
            });
    connect(&m_list, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (m_pending)
            m_pending->Next = 0, m_pending->Shown.clear();
        beginResetModel();
    });
    connect(&m_list, &QAbstractItemModel::modelReset, this, [this] {
        m_identityRows = m_list.count();
        if (m_filtering) {
            const TFilterMatcher matcher(m_filter, m_kei.EngineColumn);
            m_shown.clear();
            for (int r = 0; r < m_list.count(); ++r)
                if (matcher.matches(m_list, r))
                    m_shown.push_back(r);
        }
        endResetModel();
    });
    connect(&m_list, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] {
        if (m_pending)
            m_pending->Next = 0, m_pending->Shown.clear();
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        m_layoutProxy = persistentIndexList();
        m_layoutSource.clear();
        for (const QModelIndex &i : std::as_const(m_layoutProxy))
            m_layoutSource.append(QPersistentModelIndex(m_list.index(
                sourceRow(i.row()), std::min(i.column(), KeywordRow::ColumnCount - 1))));
    });
    connect(&m_list, &TKeywordList::orderApplied, this, [this](const std::vector<int> &order) {
        if (!m_filtering)
            return;
        // The same rows show, at their new places.
        std::vector<quint8> shownBefore(order.size(), 0);
        for (int r : m_shown)
            shownBefore[size_t(r)] = 1;
        m_shown.clear();
        for (size_t i = 0; i < order.size(); ++i)
            if (shownBefore[size_t(order[i])])
                m_shown.push_back(int(i));
    });
    connect(&m_list, &QAbstractItemModel::layoutChanged, this, [this] {
        QModelIndexList moved;
        moved.reserve(m_layoutProxy.size());
        for (qsizetype i = 0; i < m_layoutProxy.size(); ++i) {
            const QPersistentModelIndex &s = m_layoutSource[i];
            const int row = s.isValid() ? viewRow(s.row()) : -1;
            moved.append(row < 0 ? QModelIndex() : index(row, m_layoutProxy[i].column()));
        }
        changePersistentIndexList(m_layoutProxy, moved);
        m_layoutProxy.clear();
        m_layoutSource.clear();
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    });
    connect(&m_list, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &tl, const QModelIndex &br, const QList<int> &roles) {
                const bool texts = roles.isEmpty() || roles.contains(Qt::DisplayRole);
                const int lastColumn = texts ? KeiColumn : br.column();
                if (!m_filtering) {
                    emit dataChanged(index(tl.row(), tl.column()), index(br.row(), lastColumn),
                                     roles);
                    return;
                }
                if (!texts || br.row() - tl.row() > 64) {
                    if (!m_shown.empty())
                        emit dataChanged(index(0, tl.column()),
                                         index(int(m_shown.size()) - 1, lastColumn), roles);
                    return;
                }
                // A changed text may let a row through or hide it.
                const TFilterMatcher matcher(m_filter, m_kei.EngineColumn);
                for (int r = tl.row(); r <= br.row(); ++r) {
                    const bool shows = matcher.matches(m_list, r);
                    const auto at = std::lower_bound(m_shown.begin(), m_shown.end(), r);
                    const int pos = int(at - m_shown.begin());
                    const bool showed = at != m_shown.end() && *at == r;
                    if (shows && !showed) {
                        beginInsertRows({}, pos, pos);
                        m_shown.insert(at, r);
                        endInsertRows();
                    } else if (!shows && showed) {
                        beginRemoveRows({}, pos, pos);
                        m_shown.erase(at);
                        endRemoveRows();
                    } else if (shows) {
                        emit dataChanged(index(pos, tl.column()), index(pos, lastColumn), roles);
                    }
                }
            });
}

TKeywordViewModel::~TKeywordViewModel() = default;

void TKeywordViewModel::setKeiOptions(const TKeiOptions &options)
{
    const bool engineChanged = options.EngineColumn != m_kei.EngineColumn;
    m_kei = options;
    if (engineChanged && m_filter.MinKei >= 0)
        Refilter();
    else if (rowCount() > 0)
        emit dataChanged(index(0, KeiColumn), index(rowCount() - 1, KeiColumn));
    emit headerDataChanged(Qt::Horizontal, KeiColumn, KeiColumn);
}

void TKeywordViewModel::setFilter(const TKeywordFilter &filter)
{
    m_filter = filter;
    Refilter();
}

void TKeywordViewModel::Refilter()
{
    m_slices->stop();
    m_pending.reset();
    if (!m_filter.isActive()) {
        Finish({});
        return;
    }
    m_pending = std::make_unique<Pending>(m_filter, m_kei.EngineColumn);
    m_pending->Shown.reserve(size_t(m_list.count()));
    if (m_list.count() <= m_sliceRows)
        RunSlice();
    else
        m_slices->start();
}

void TKeywordViewModel::RunSlice()
{
    if (!m_pending)
        return;
    Pending &p = *m_pending;
    const int end = std::min(m_list.count(), p.Next + m_sliceRows);
    for (int r = p.Next; r < end; ++r)
        if (p.Matcher.matches(m_list, r))
            p.Shown.push_back(r);
    p.Next = end;
    if (p.Next < m_list.count()) {
        m_slices->start();
        return;
    }
    std::vector<int> shown = std::move(p.Shown);
    m_pending.reset();
    Finish(std::move(shown));
}

void TKeywordViewModel::Finish(std::vector<int> shown)
{
    beginResetModel();
    m_filtering = m_filter.isActive();
    m_shown = m_filtering ? std::move(shown) : std::vector<int>();
    m_identityRows = m_list.count();
    endResetModel();
    emit filterApplied();
}

int TKeywordViewModel::viewRow(int sourceRow) const
{
    if (!m_filtering)
        return sourceRow >= 0 && sourceRow < m_identityRows ? sourceRow : -1;
    const auto at = std::lower_bound(m_shown.begin(), m_shown.end(), sourceRow);
    return at != m_shown.end() && *at == sourceRow ? int(at - m_shown.begin()) : -1;
}

int TKeywordViewModel::hiddenCount() const
{
    return m_list.count() - rowCount();
}

std::vector<int> TKeywordViewModel::shownRows() const
{
    if (m_filtering)
        return m_shown;
    std::vector<int> all(static_cast<size_t>(m_identityRows));
    std::iota(all.begin(), all.end(), 0);
    return all;
}

std::vector<bool> TKeywordViewModel::hiddenMask() const
{
    std::vector<bool> hidden(size_t(m_list.count()), m_filtering);
    if (m_filtering)
        for (int r : m_shown)
            hidden[size_t(r)] = false;
    return hidden;
}

std::vector<double> TKeywordViewModel::keiKeys() const
{
    std::vector<double> keys(static_cast<size_t>(m_list.count()));
    for (int r = 0; r < m_list.count(); ++r) {
        const std::optional<double> k = KeiValue(m_list, r, m_kei.EngineColumn);
        keys[size_t(r)] = k ? *k : -1.0;
    }
    return keys;
}

std::vector<int> TKeywordViewModel::keiOrder(bool ascending) const
{
    TKeywordList::SortInput in;
    in.Reals = keiKeys();
    return TKeywordList::SortOrder(in, ascending);
}

int TKeywordViewModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_filtering ? int(m_shown.size()) : m_identityRows;
}

int TKeywordViewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : KeiColumn + 1;
}

QVariant TKeywordViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = sourceRow(index.row());
    if (index.column() < KeiColumn)
        return m_list.data(m_list.index(row, index.column()), role);
    const std::optional<double> kei = KeiValue(m_list, row, m_kei.EngineColumn);
    switch (role) {
    case Qt::DisplayRole:
        return kei ? KeiText(*kei) : QString();
    case Qt::ToolTipRole:
        if (!kei)
            return KeiMissingReason(m_list, row, m_kei.EngineColumn);
        return QStringLiteral("KEI %1 on %2: %3")
            .arg(KeiText(*kei), QString::fromLatin1(TKeywordList::Headers[m_kei.EngineColumn]),
                 KeiBandName(KeiBand(*kei, m_kei)));
    case KeiBandRole:
        return int(kei ? KeiBand(*kei, m_kei) : TKeiBand::None);
    default:
        break;
    }
    return {};
}

bool TKeywordViewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() >= KeiColumn)
        return false;
    return m_list.setData(m_list.index(sourceRow(index.row()), index.column()), value, role);
}

Qt::ItemFlags TKeywordViewModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.column() >= KeiColumn)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return m_list.flags(m_list.index(sourceRow(index.row()), index.column()));
}

QVariant TKeywordViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == KeiColumn)
        return QStringLiteral("KEI");
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole && section == KeiColumn)
        return QStringLiteral("Searches squared / %1 count")
            .arg(QString::fromLatin1(TKeywordList::Headers[m_kei.EngineColumn]));
    return m_list.headerData(section, orientation, role);
}
