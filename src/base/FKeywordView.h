#pragma once
// lvwItems: the keyword list's table. Rows are selected as in any table,
// apart from the check marks; files dropped on it are handed on; an engine
// cell whose last request got no answer is drawn on the skin's warning colour.

#include <QColor>
#include <QStringList>
#include <QTableView>
#include <vector>

class TKeywordView : public QTableView
{
    Q_OBJECT
    // Set by the skin: #lvwItems { qproperty-failedCountColor: ...; }
    Q_PROPERTY(QColor failedCountColor READ failedCountColor WRITE setFailedCountColor)
public:
    explicit TKeywordView(QWidget *parent = nullptr);

    QColor failedCountColor() const { return m_failedCountColor; }
    void setFailedCountColor(const QColor &color);

    // The selected rows in list order.
    std::vector<int> SelectedRows() const;

signals:
    // Local files dropped on the list, in the order the drop carried them.
    void filesDropped(const QStringList &paths);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QColor m_failedCountColor{0xf3, 0xd9, 0xb1};
};
