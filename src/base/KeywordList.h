#pragma once
// The program's only store of working data: one row per keyword with its
// number, suggestion count and the three engines' result counts.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <array>
#include <limits>
#include <optional>
#include <vector>

// Where the text of an engine cell came from. Kept beside the text, never
// written to a results file.
struct TCountSource
{
    enum class Kind : quint8 {
        NeverAsked, // no request was made for the cell
        Count,      // the page showed a count
        NoCount,    // the page was there but showed no count
        Failed,     // the last request got no answer; the text is older
    };
    Kind What = Kind::NeverAsked;
    int SearchType = -1; // of the answer: 0 precise, 1 broad
    QDateTime When;      // local time of the answer
    QString Reason;      // why the request got no answer

    static TCountSource Answered(int searchType, bool hadCount, const QDateTime &when)
    {
        return {hadCount ? Kind::Count : Kind::NoCount, searchType, when, {}};
    }
    static TCountSource NoAnswer(const QString &reason) { return {Kind::Failed, -1, {}, reason}; }
};

// The tooltip of an engine cell; empty for a cell never asked.
QString CountSourceText(const TCountSource &source);

struct KeywordRow
{
    enum Column { No, Keywords, Searches, Google, Yahoo, Msn, ColumnCount };
    // Column 0 is the row's caption, columns 1 to 5 its sub-item texts.
    std::array<QByteArray, ColumnCount> Texts;
    bool Checked = false;
    // One per engine column, Google first.
    std::array<TCountSource, 3> Sources;

    QByteArray &operator[](int column) { return Texts[column]; }
    const QByteArray &operator[](int column) const { return Texts[column]; }
    static bool IsEngineColumn(int column) { return column >= Google && column <= Msn; }
    TCountSource &source(int engineColumn) { return Sources[size_t(engineColumn - Google)]; }
    const TCountSource &source(int engineColumn) const
    {
        return Sources[size_t(engineColumn - Google)];
    }
};

// Numeric value of a count text for sorting: commas removed, then a signed
// 64-bit integer; anything that does not convert counts as 0.
qint64 SortNumber(const QByteArray &text);
// The same, with "no number" told apart: nullopt for an empty text or one
// that does not convert.
std::optional<qint64> CountNumber(QByteArrayView text);

class TKeywordList;

// Hears every change of the list's content, after it happened, in the order
// the changes happen. The journal keeps the list on disk through it; the
// view's own state (filters, derived columns) is not part of it.
class IKeywordListObserver
{
public:
    virtual ~IKeywordListObserver() = default;
    // Rows first..last (positions, inclusive) were appended: typed,
    // imported, harvested, dropped or reopened.
    virtual void RowsAppended(const TKeywordList &list, int first, int last) = 0;
    // The rows with these ids are gone; the others keep their order.
    virtual void RowsRemoved(const TKeywordList &list, const std::vector<quint64> &ids) = 0;
    // Texts, check mark or count sources of rows first..last changed.
    virtual void RowsChanged(const TKeywordList &list, int first, int last) = 0;
    // The same rows stand in a new order (a sort).
    virtual void OrderChanged(const TKeywordList &list) = 0;
    // Every row went at once.
    virtual void Cleared(const TKeywordList &list) = 0;
};

// The list shown in lvwItems. Every change goes through here so that the view
// and the observer hear about it.
//
// Rows are kept column-wise for a million-row list: the six texts of a row
// lie side by side in one byte arena, the numbers of the number columns are
// parsed once when a text is set, and a cell's source is packed into 16
// bytes with its failure reason in a shared pool. Accessors therefore hand
// out values, not references.
class TKeywordList : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TKeywordList(QObject *parent = nullptr);

    // True for an engine cell whose last request got no answer.
    static constexpr int CountFailedRole = Qt::UserRole + 1;

    static const char *const Headers[KeywordRow::ColumnCount];
    static const int ColumnWidths[KeywordRow::ColumnCount];

    int count() const { return static_cast<int>(m_order.size()); }
    // A copy of one row.
    KeywordRow row(int index) const;

    // Every row in list order, as copies: for (const KeywordRow &r : rows()).
    class RowRange
    {
    public:
        class iterator
        {
        public:
            using value_type = KeywordRow;
            using difference_type = std::ptrdiff_t;
            iterator(const TKeywordList *list, int row) : m_list(list), m_row(row) {}
            KeywordRow operator*() const { return m_list->row(m_row); }
            iterator &operator++()
            {
                ++m_row;
                return *this;
            }
            bool operator!=(const iterator &other) const { return m_row != other.m_row; }
            bool operator==(const iterator &other) const { return m_row == other.m_row; }

        private:
            const TKeywordList *m_list;
            int m_row;
        };
        explicit RowRange(const TKeywordList *list) : m_list(list) {}
        iterator begin() const { return {m_list, 0}; }
        iterator end() const { return {m_list, m_list->count()}; }
        size_t size() const { return size_t(m_list->count()); }

    private:
        const TKeywordList *m_list;
    };
    RowRange rows() const { return RowRange(this); }

    // Field access that does not depend on how rows are stored.
    QByteArray text(int row, int column) const { return textView(row, column).toByteArray(); }
    // The bytes in place: valid until the list changes next.
    QByteArrayView textView(int row, int column) const
    {
        const Span &s = m_spans[At(row)];
        quint64 offset = s.Offset;
        for (int c = 0; c < column; ++c)
            offset += s.Length[c];
        return QByteArrayView(m_bytes.data() + offset, qsizetype(s.Length[column]));
    }
    // The parsed number of a number column (No, Searches and the engines);
    // nullopt when the text is empty or not a number.
    std::optional<qint64> number(int row, int column) const
    {
        const qint64 v = m_numbers[At(row) * NumberColumns + size_t(NumberSlot(column))];
        return v == NoNumber ? std::nullopt : std::optional<qint64>(v);
    }
    bool isChecked(int row) const { return m_checked[At(row)] != 0; }
    TCountSource source(int row, int engineColumn) const;
    TCountSource::Kind sourceKind(int row, int engineColumn) const
    {
        return m_sources[At(row) * 3 + size_t(engineColumn - KeywordRow::Google)].What;
    }
    int sourceSearchType(int row, int engineColumn) const
    {
        return m_sources[At(row) * 3 + size_t(engineColumn - KeywordRow::Google)].SearchType;
    }
    // A row's identity for the run: given when the row is added, never
    // reused, kept through sorts and removals of other rows.
    quint64 rowId(int row) const { return m_ids[At(row)]; }

    // One observer at a time; nullptr detaches it.
    void setObserver(IKeywordListObserver *observer) { m_observer = observer; }
    IKeywordListObserver *observer() const { return m_observer; }

    // Appends a row numbered count()+1 with the keyword and search count;
    // the engine texts start empty and the check mark cleared.
    void addRow(const QByteArray &keyword, const QByteArray &searches = QByteArray());
    // Appends many rows at once, numbered on from firstNumber.
    void appendKeywords(const QList<QByteArray> &keywords, int firstNumber);
    // Appends whole rows as they are, numbers and counts included.
    void appendRows(std::vector<KeywordRow> rows);
    void setText(int row, int column, const QByteArray &text);
    // An engine cell's answer: its text and where the text came from.
    void setCount(int row, int column, const QByteArray &text, const TCountSource &source);
    // A request without an answer leaves the text as it was.
    void setCountSource(int row, int column, const TCountSource &source);
    // Removes every row whose entry in drop is true, in one change.
    void removeMarkedRows(const std::vector<bool> &drop);
    void setChecked(int row, bool checked);
    void setAllChecked(bool checked);
    // Sets the check mark of the given rows (in list order) in one change.
    void setCheckedRows(const std::vector<int> &rows, bool checked);
    void deleteChecked();
    void deleteAll();
    // Sorts by one column with the list's comparison; stable.
    void sortByColumn(int column, bool ascending);
    // The order sortByColumn would give, as old positions in their new
    // order; reads the list only while building keys. applyOrder puts it
    // in place (a permutation of 0..count()-1).
    std::vector<int> sortOrder(int column, bool ascending) const;
    void applyOrder(const std::vector<int> &order);
    // What a sort reads, copied out so that the sort itself can run on
    // another thread while the list goes on changing; SortOrder is the
    // order sortOrder gives for it. Reals, when set by the caller, are the
    // keys instead (KEI).
    // A stored row's six texts, side by side in the arena.
    struct Span
    {
        quint64 Offset = 0; // into m_bytes, of the first text
        std::array<quint32, KeywordRow::ColumnCount> Length{};
        quint64 total() const
        {
            quint64 t = 0;
            for (quint32 l : Length)
                t += l;
            return t;
        }
    };
    struct SortInput
    {
        int Column = -1;
        std::vector<quint32> Order;  // as m_order
        std::vector<char> Bytes;     // as m_bytes, for the Keywords column
        std::vector<Span> Spans;     // as m_spans, for the Keywords column
        std::vector<qint64> Numbers; // by stored row, for a number column
        std::vector<double> Reals;   // by position; when set, the keys
    };
    SortInput sortInput(int column) const;
    static std::vector<int> SortOrder(const SortInput &input, bool ascending);
    // Counts every change of the rows; a sort worked out for one
    // generation only fits that one.
    quint64 generation() const { return m_generation; }
    // Bytes held by the rows, for the benchmarks.
    size_t memoryInUse() const;

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // Between layoutAboutToBeChanged and layoutChanged of a sort: the old
    // positions of the rows in their new order.
    void orderApplied(const std::vector<int> &order);

private:
    // Drops every row's storage at once; the caller tells the views.
    void ClearStorage();

    struct PackedSource
    {
        qint64 WhenMs = 0;  // local time, ms since the epoch; 0 = none
        quint32 Reason = 0; // index into m_reasons; 0 = none
        TCountSource::Kind What = TCountSource::Kind::NeverAsked;
        qint8 SearchType = -1;
    };
    static constexpr int NumberColumns = 5; // No, Searches, Google, Yahoo, Msn
    static constexpr qint64 NoNumber = std::numeric_limits<qint64>::min();
    static int NumberSlot(int column) { return column == KeywordRow::No ? 0 : column - 1; }

    void AppendIds(size_t count);
    void PushRow(const std::array<QByteArrayView, KeywordRow::ColumnCount> &texts, bool checked);
    void StoreNumber(size_t row, int column, QByteArrayView text);
    PackedSource Pack(const TCountSource &source);
    void SetSource(int row, int column, const TCountSource &source);
    void ReplaceText(int row, int column, QByteArrayView text);
    void CompactIfWasteful();
    template <typename Keep> void KeepRows(Keep keep, std::vector<quint64> &gone);
    // Rewrites the stores in list order, leaving out rows gone from it.
    void Repack();
    size_t At(int row) const { return m_order[size_t(row)]; }

    std::vector<char> m_bytes;
    // The stores below are in the order rows came in; m_order says which
    // of them stands at each position of the list, so a sort moves only it.
    std::vector<quint32> m_order;
    size_t m_orphans = 0; // stored rows no position points at any more
    std::vector<Span> m_spans;
    std::vector<qint64> m_numbers;       // NumberColumns per row
    std::vector<PackedSource> m_sources; // three per row, Google first
    std::vector<quint8> m_checked;
    std::vector<quint64> m_ids;
    QStringList m_reasons{QString()};
    QHash<QString, quint32> m_reasonIndex;
    quint64 m_wasted = 0; // arena bytes no row points at any more
    quint64 m_generation = 0;
    quint64 m_nextId = 1;
    IKeywordListObserver *m_observer = nullptr;
};
