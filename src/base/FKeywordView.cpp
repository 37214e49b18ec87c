#include "base/FKeywordView.h"

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

std::vector<int> TKeywordView::SelectedRows() const
{
    std::vector<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
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
    if (LocalFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TKeywordView::dragMoveEvent(QDragMoveEvent *event)
{
    if (LocalFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TKeywordView::dropEvent(QDropEvent *event)
{
    const QStringList paths = LocalFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Taking the files may ask the user; the drag has to end first.
    QMetaObject::invokeMethod(
        this, [this, paths] { emit filesDropped(paths); }, Qt::QueuedConnection);
}
