#pragma once
// The program's only store of working data: one row per keyword with its
// number, suggestion count and the three engines' result counts.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QDateTime>
#include <array>
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
class TKeywordList : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TKeywordList(QObject *parent = nullptr);

    // True for an engine cell whose last request got no answer.
    static constexpr int CountFailedRole = Qt::UserRole + 1;

    static const char *const Headers[KeywordRow::ColumnCount];
    static const int ColumnWidths[KeywordRow::ColumnCount];

    int count() const { return static_cast<int>(m_rows.size()); }
    const KeywordRow &row(int index) const { return m_rows[static_cast<size_t>(index)]; }
    const std::vector<KeywordRow> &rows() const { return m_rows; }

    // Field access that does not depend on how rows are stored.
    const QByteArray &text(int row, int column) const { return m_rows[size_t(row)][column]; }
    bool isChecked(int row) const { return m_rows[size_t(row)].Checked; }
    const TCountSource &source(int row, int engineColumn) const
    {
        return m_rows[size_t(row)].source(engineColumn);
    }
    // A row's identity for the run: given when the row is added, never
    // reused, kept through sorts and removals of other rows.
    quint64 rowId(int row) const { return m_ids[size_t(row)]; }

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
    void deleteChecked();
    void deleteAll();
    // Sorts by one column with the list's comparison; stable.
    void sortByColumn(int column, bool ascending);

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void AppendIds(size_t count);

    std::vector<KeywordRow> m_rows;
    std::vector<quint64> m_ids; // parallel to m_rows
    quint64 m_nextId = 1;
    IKeywordListObserver *m_observer = nullptr;
};
