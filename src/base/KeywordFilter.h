#pragma once
// What lvwItems shows of the keyword list: the KEI column worked out from
// the counts, and a filter that hides rows without removing them. Both are
// the view's own state: the list, its results file and its observer never
// see them.

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TKeywordList;
class QTimer;

// KEI = Searches squared / the count of one engine.
struct TKeiOptions
{
    int EngineColumn = 3;   // KeywordRow::Google
    double Excellent = 100; // at or above: "excellent"
    double Good = 10;       // at or above (and below Excellent): "good"
};

enum class TKeiBand { None, Poor, Good, Excellent };

// nullopt when Searches or the engine's count is missing or the count is 0.
std::optional<double> KeiValue(const TKeywordList &list, int row, int engineColumn);
// Why a KEI cell is empty, for its tooltip; empty when it has a value.
QString KeiMissingReason(const TKeywordList &list, int row, int engineColumn);
// At most two decimals, no trailing zeros: 12.5, 3, 0.33.
QString KeiText(double kei);
TKeiBand KeiBand(double kei, const TKeiOptions &options);
QString KeiBandName(TKeiBand band);

// The filter bar's rules. A rule at its "off" value does not hide anything.
struct TKeywordFilter
{
    QStringList NegativeWords; // words or phrases; a row holding one as whole words is hidden
    QStringList MustContain;   // a row must hold every one of them as whole words
    int MinWords = 0;          // 0 = off
    int MaxWords = 0;          // 0 = off
    qint64 MinSearches = -1;   // -1 = off; a row without Searches is hidden
    int MaxCountColumn = 3;    // the engine of MaxCount
    qint64 MaxCount = -1;      // -1 = off; a row without that count is hidden
    double MinKei = -1;        // < 0 = off; a row without KEI is hidden

    bool isActive() const;
};

// A filter made ready for many rows: phrases folded and split once.
class TFilterMatcher
{
public:
    TFilterMatcher(const TKeywordFilter &filter, int keiEngineColumn);
    bool matches(const TKeywordList &list, int row) const;

    // Letters and digits only, case-folded, words joined by single spaces.
    static std::string FoldWords(QByteArrayView text);
    // Runs of non-blank characters.
    static int WordCount(QByteArrayView text);

private:
    static bool HoldsPhrase(const std::string &words, const std::string &phrase);

    TKeywordFilter m_filter;
    int m_keiEngine;
    std::vector<std::string> m_negative, m_must;
    bool m_needWords = false;
};

// The table model lvwItems shows: the list's six columns, then KEI; only the
// rows the filter lets through, in the list's order. Applying a filter works
// through the list in slices between events, so the window keeps answering.
class TKeywordViewModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int KeiColumn = 6;
    static constexpr int KeiBandRole = Qt::UserRole + 2; // int(TKeiBand)

    explicit TKeywordViewModel(TKeywordList &list, QObject *parent = nullptr);
    ~TKeywordViewModel() override;

    TKeywordList &list() const { return m_list; }

    const TKeiOptions &keiOptions() const { return m_kei; }
    void setKeiOptions(const TKeiOptions &options);

    const TKeywordFilter &filter() const { return m_filter; }
    // Starts applying the filter; filterApplied follows when the view shows
    // its result (at once for a small list or no filter).
    void setFilter(const TKeywordFilter &filter);
    void clearFilter() { setFilter(TKeywordFilter()); }
    bool isFiltering() const { return m_filtering; }
    bool isApplying() const { return m_pending != nullptr; }
    // Rows per slice while applying; the rest waits for the next event.
    void setSliceRows(int rows) { m_sliceRows = rows; }

    int sourceRow(int viewRow) const { return m_filtering ? m_shown[size_t(viewRow)] : viewRow; }
    // -1 for a hidden row.
    int viewRow(int sourceRow) const;
    int shownCount() const { return rowCount(); }
    int hiddenCount() const;
    // Rows of the list that show / are hidden, in list order.
    std::vector<int> shownRows() const;
    std::vector<bool> hiddenMask() const;

    // The order of the whole list by KEI (rows without KEI first when
    // ascending), for TKeywordList::applyOrder.
    std::vector<int> keiOrder(bool ascending) const;
    // The keys of that order: KEI, or -1 for none.
    std::vector<double> keiKeys() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The rows that show changed as a whole (a filter applied or cleared).
    void filterApplied();

private:
    struct Pending;
    void Refilter();
    void RunSlice();
    void Finish(std::vector<int> shown);

    TKeywordList &m_list;
    TKeiOptions m_kei;
    TKeywordFilter m_filter;
    bool m_filtering = false;
    std::vector<int> m_shown; // list rows that show, ascending; only while filtering
    int m_identityRows = 0;   // rows while not filtering
    std::unique_ptr<Pending> m_pending;
    QTimer *m_slices;
    int m_sliceRows = 100000;
    // Sources of persistent indexes across a sort of the list.
    QList<QPersistentModelIndex> m_layoutSource;
    QModelIndexList m_layoutProxy;
};
