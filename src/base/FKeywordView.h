#pragma once
// lvwItems: the keyword list's table. Rows are selected as in any table,
// apart from the check marks; files dropped on it are handed on; an engine
// cell whose last request got no answer is drawn on the skin's warning colour,
// a KEI cell on the colour of its band.

#include <QColor>
#include <QStringList>
#include <QTableView>
#include <vector>

class TKeywordView : public QTableView
{
    Q_OBJECT
    // Set by the skin: #lvwItems { qproperty-failedCountColor: ...; }
    Q_PROPERTY(QColor failedCountColor READ failedCountColor WRITE setFailedCountColor)
    // #lvwItems { qproperty-keiExcellentColor: ...; } and so on.
    Q_PROPERTY(QColor keiExcellentColor READ keiExcellentColor WRITE setKeiExcellentColor)
    Q_PROPERTY(QColor keiGoodColor READ keiGoodColor WRITE setKeiGoodColor)
    Q_PROPERTY(QColor keiPoorColor READ keiPoorColor WRITE setKeiPoorColor)
public:
    explicit TKeywordView(QWidget *parent = nullptr);

    QColor failedCountColor() const { return m_failedCountColor; }
    void setFailedCountColor(const QColor &color);
    QColor keiExcellentColor() const { return m_keiColors[2]; }
    QColor keiGoodColor() const { return m_keiColors[1]; }
    QColor keiPoorColor() const { return m_keiColors[0]; }
    void setKeiExcellentColor(const QColor &color) { SetKeiColor(2, color); }
    void setKeiGoodColor(const QColor &color) { SetKeiColor(1, color); }
    void setKeiPoorColor(const QColor &color) { SetKeiColor(0, color); }
    // The colour of a KEI band (int(TKeiBand)); invalid for none.
    QColor keiBandColor(int band) const;

    // The selected rows in list order (positions in the list, also when a
    // filter hides some rows).
    std::vector<int> SelectedRows() const;

    // Drops are refused while a run goes on.
    void setDropsEnabled(bool enabled) { m_dropsEnabled = enabled; }
    bool dropsEnabled() const { return m_dropsEnabled; }

signals:
    // Local files dropped on the list, in the order the drop carried them.
    void filesDropped(const QStringList &paths);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void SetKeiColor(int band, const QColor &color);

    QColor m_failedCountColor{0xf3, 0xd9, 0xb1};
    // Poor, good, excellent: light enough for black text.
    QColor m_keiColors[3] = {QColor(0xf4, 0xc7, 0xc3), QColor(0xfc, 0xee, 0xa7),
                             QColor(0xc6, 0xe9, 0xc0)};
    bool m_dropsEnabled = true;
};
