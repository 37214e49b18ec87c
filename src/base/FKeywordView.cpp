#include "base/FKeywordView.h"

#include "base/KeywordFilter.h"
#include "base/KeywordList.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>
#include <algorithm>

namespace {

class TKeywordDelegate : public QStyledItemDelegate
{
public:
    explicit TKeywordDelegate(TKeywordView *view) : QStyledItemDelegate(view), m_view(view) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(TKeywordList::CountFailedRole).toBool())
            option->backgroundBrush = m_view->failedCountColor();
        if (index.column() == TKeywordViewModel::KeiColumn) {
            const QColor band =
                m_view->keiBandColor(index.data(TKeywordViewModel::KeiBandRole).toInt());
            if (band.isValid())
                option->backgroundBrush = band;
        }
    }

private:
    TKeywordView *m_view;
};

QStringList LocalFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls()) {
        if (!url.isLocalFile())
            return {};
        paths.append(url.toLocalFile());
    }
    return paths;
}

} // namespace

TKeywordView::TKeywordView(QWidget *parent) : QTableView(parent)
{
    setItemDelegate(new TKeywordDelegate(this));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
}

void TKeywordView::setFailedCountColor(const QColor &color)
{
    m_failedCountColor = color;
    viewport()->update();
}

void TKeywordView::SetKeiColor(int band, const QColor &color)
{
    m_keiColors[band] = color;
    viewport()->update();
}

QColor TKeywordView::keiBandColor(int band) const
{
    switch (TKeiBand(band)) {
    case TKeiBand::Poor:
        return m_keiColors[0];
    case TKeiBand::Good:
        return m_keiColors[1];
    case TKeiBand::Excellent:
        return m_keiColors[2];
    case TKeiBand::None:
        break;
    }
    return {};
}

std::vector<int> TKeywordView::SelectedRows() const
{
    std::vector<int> rows;
    if (!selectionModel())
        return rows;
    const auto *shown = qobject_cast<const TKeywordViewModel *>(model());
    // Ranges, not one index per row: a selection can hold a million rows.
    for (const QItemSelectionRange &range : selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(shown ? shown->sourceRow(r) : r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TKeywordView::keyPressEvent(QKeyEvent *event)
{
    // Copying is the list's Copy command; the table's own copy of the
    // current cell would otherwise answer when that command has nothing.
    if (event == QKeySequence::Copy) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TKeywordView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!m_dropsEnabled || LocalFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TKeywordView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!m_dropsEnabled || LocalFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TKeywordView::dropEvent(QDropEvent *event)
{
    const QStringList paths = LocalFiles(event->mimeData());
    if (!m_dropsEnabled || paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Taking the files may ask the user; the drag has to end first.
    QMetaObject::invokeMethod(
        this, [this, paths] { emit filesDropped(paths); }, Qt::QueuedConnection);
}
