#include "news/FNews.h"

#include "base/ErrorReport.h"
#include "base/FDialogParts.h"
#include "base/FHtmlView.h"
#include "base/ScreenText.h"
#include "news/NewsClient.h"
#include "settings/SettingsFile.h"
#include "util/UUtils.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Asks before every change of selection or current row; a refused change
// leaves both as they are, whether it came from the mouse, the keyboard or
// the program.
class TGuardedSelection : public QItemSelectionModel
{
public:
    TGuardedSelection(QAbstractItemModel *model, std::function<bool()> allow, QObject *parent)
        : QItemSelectionModel(model, parent), m_allow(std::move(allow))
    {
    }
    void select(const QModelIndex &index, SelectionFlags command) override
    {
        if (m_allow())
            QItemSelectionModel::select(index, command);
    }
    void select(const QItemSelection &selection, SelectionFlags command) override
    {
        if (m_allow())
            QItemSelectionModel::select(selection, command);
    }
    void setCurrentIndex(const QModelIndex &index, SelectionFlags command) override
    {
        if (m_allow())
            QItemSelectionModel::setCurrentIndex(index, command);
    }
    void clear() override
    {
        if (m_allow())
            QItemSelectionModel::clear();
    }
    void clearCurrentIndex() override
    {
        if (m_allow())
            QItemSelectionModel::clearCurrentIndex();
    }

private:
    std::function<bool()> m_allow;
};

} // namespace

TfrmNews::TfrmNews(const QList<QByteArray> &newsList, const TProgramSettings &settings,
                   TNewsClient &client, THttpClient &http, const QString &programFolder,
                   QWidget *parent)
    : QDialog(parent), m_newsList(newsList), m_settings(settings), m_client(client),
      m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("frmNews"));
    setWindowTitle(QStringLiteral("News"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    panTop = new QFrame;
    panTop->setObjectName(QStringLiteral("panTop"));
    panTop->setMinimumHeight(10);
    auto *topLayout = new QVBoxLayout(panTop);
    topLayout->setContentsMargins(0, 0, 0, 0);
    lvwItems = new QTreeWidget;
    lvwItems->setObjectName(QStringLiteral("lvwItems"));
    lvwItems->setColumnCount(2);
    lvwItems->setHeaderLabels({QStringLiteral("News Title"), QStringLiteral("Published")});
    lvwItems->setRootIsDecorated(false);
    lvwItems->setItemsExpandable(false);
    lvwItems->setUniformRowHeights(true);
    lvwItems->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwItems->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwItems->setAllColumnsShowFocus(true);
    QHeaderView *header = lvwItems->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Fixed);
    header->resizeSection(1, 160);
    header->setSectionsMovable(false);
    // The selection stays visible when the list loses focus.
    QPalette pal = lvwItems->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    lvwItems->setPalette(pal);
    QItemSelectionModel *old = lvwItems->selectionModel();
    lvwItems->setSelectionModel(new TGuardedSelection(
        lvwItems->model(), [this] { return lvwItemsChanging(); }, lvwItems));
    delete old;
    topLayout->addWidget(lvwItems);

    prfEditorNews = new THtmlView(http, programFolder);
    prfEditorNews->setObjectName(QStringLiteral("prfEditorNews"));
    prfEditorNews->setMinimumHeight(10);

    splMain = new QSplitter(Qt::Vertical);
    splMain->setObjectName(QStringLiteral("splMain"));
    splMain->setHandleWidth(10);
    splMain->setChildrenCollapsible(false);
    splMain->addWidget(panTop);
    splMain->addWidget(prfEditorNews);
    splMain->setStretchFactor(0, 0);
    splMain->setStretchFactor(1, 1);
    layout->addWidget(splMain, 1);

    panBottom = new QFrame;
    panBottom->setObjectName(QStringLiteral("panBottom"));
    panBottom->setFixedHeight(41);
    auto *bottomLayout = new QHBoxLayout(panBottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    btnExit = new QPushButton(QStringLiteral("Close"));
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnExit->setFixedSize(97, 20);
    bottomLayout->addStretch();
    bottomLayout->addWidget(btnExit);
    bottomLayout->addStretch();
    layout->addWidget(panBottom);

    connect(btnExit, &QPushButton::clicked, this, Guarded([this] { btnExitClick(); }));
    connect(lvwItems->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            Guarded([this] { lvwItemsChange(); }));

    resize(682, 411);
    splMain->setSizes({105, 411 - 41 - 105 - splMain->handleWidth()});
    CenterOnScreen(this);
}

TfrmNews::~TfrmNews()
{
    // The list's selection guard and its handler call back into this window;
    // take the list down while the window is still whole, not in QWidget's
    // destructor.
    lvwItems->selectionModel()->disconnect(this);
    delete lvwItems;
}

void TfrmNews::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_filled) {
        m_filled = true;
        FormShow();
    }
}

void TfrmNews::FormShow()
{
    for (const QByteArray &record : m_newsList) {
        QList<QByteArray> fields;
        SplitByChar('^', record, fields);
        auto *item = new QTreeWidgetItem(lvwItems);
        item->setText(0, ToScreen(fields.value(1)));
        item->setText(1, ToScreen(fields.value(2)));
        item->setData(0, NewsIdRole, fields.value(0));
    }
    lvwItems->selectionModel()->clearSelection();
    prfEditorNews->ShowDocument({});
}

bool TfrmNews::lvwItemsChanging() const
{
    return !Busy;
}

void TfrmNews::SetBusyCursor(bool busy)
{
    for (QWidget *w : {static_cast<QWidget *>(lvwItems), lvwItems->viewport(),
                       static_cast<QWidget *>(prfEditorNews), prfEditorNews->viewport(),
                       static_cast<QWidget *>(this)}) {
        if (busy)
            w->setCursor(Qt::WaitCursor);
        else
            w->unsetCursor();
    }
}

void TfrmNews::lvwItemsChange()
{
    const QList<QTreeWidgetItem *> selected = lvwItems->selectedItems();
    if (selected.isEmpty())
        return;
    const QByteArray newsId = selected.first()->data(0, NewsIdRole).toByteArray();

    QPointer<TfrmNews> self(this);
    Busy = true;
    SetBusyCursor(true);
    auto idle = qScopeGuard([&] {
        if (!self)
            return;
        SetBusyCursor(false);
        Busy = false;
    });

    const std::optional<TNewsTier> tier = FindNewsTier(m_settings);
    if (!tier)
        return;
    QByteArray text;
    if (!FetchNewsDetails(tier->PublisherId, m_settings.BranderCode, tier->TierCode, NewsTarget,
                          newsId, text) ||
        !self)
        return;
    prfEditorNews->ShowDocument(text);
    // Written whatever it is: opening an older item lowers the stored id.
    WriteLastNewsId(m_programFolder, newsId);
}

bool TfrmNews::FetchNewsDetails(const QByteArray &publId, const QByteArray &brandCode,
                                const QByteArray &tierCode, const QByteArray &newsTarget,
                                const QByteArray &newsId, QByteArray &text)
{
    return m_client.FetchNewsDetails(publId, brandCode, tierCode, newsTarget, newsId, text);
}

void TfrmNews::btnExitClick()
{
    done(QDialog::Accepted);
}
