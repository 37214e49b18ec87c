#pragma once
// The program's only store of working data: one row per keyword with its
// number, suggestion count and the three engines' result counts.

#include <QAbstractTableModel>
#include <QByteArray>
#include <array>
#include <vector>

struct KeywordRow
{
    enum Column { No, Keywords, Searches, Google, Yahoo, Msn, ColumnCount };
    // Column 0 is the row's caption, columns 1 to 5 its sub-item texts.
    std::array<QByteArray, ColumnCount> Texts;
    bool Checked = false;

    QByteArray &operator[](int column) { return Texts[column]; }
    const QByteArray &operator[](int column) const { return Texts[column]; }
};

// Numeric value of a count text for sorting: commas removed, then a signed
// 64-bit integer; anything that does not convert counts as 0.
qint64 SortNumber(const QByteArray &text);

// The list shown in lvwItems. Every change goes through here so that the view
// hears about it.
class TKeywordList : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TKeywordList(QObject *parent = nullptr);

    static const char *const Headers[KeywordRow::ColumnCount];
    static const int ColumnWidths[KeywordRow::ColumnCount];

    int count() const { return static_cast<int>(m_rows.size()); }
    const KeywordRow &row(int index) const { return m_rows[static_cast<size_t>(index)]; }
    const std::vector<KeywordRow> &rows() const { return m_rows; }

    // Appends a row numbered count()+1 with the keyword and search count;
    // the engine texts start empty and the check mark cleared.
    void addRow(const QByteArray &keyword, const QByteArray &searches = QByteArray());
    // Appends many rows at once, numbered on from firstNumber.
    void appendKeywords(const QList<QByteArray> &keywords, int firstNumber);
    void setText(int row, int column, const QByteArray &text);
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
    std::vector<KeywordRow> m_rows;
};
