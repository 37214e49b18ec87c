#include "app/FMain.h"

#include "base/CommandContext.h"
#include "base/ErrorReport.h"
#include "base/FDialogParts.h"
#include "base/FHtmlView.h"
#include "base/FKeywordView.h"
#include "base/FMessageBox.h"
#include "base/FModal.h"
#include "base/FOptions.h"
#include "base/FRunProgress.h"
#include "base/HttpClient.h"
#include "base/ListActions.h"
#include "base/PacedFetch.h"
#include "base/ScreenText.h"
#include "journal/FJournalOption.h"
#include "journal/Journal.h"
#include "journal/JournalPrompt.h"
#include "keywords/FAddKeywords.h"
#include "keywords/FCaptcha.h"
#include "keywords/FMainKeyword.h"
#include "keywords/GatherKeywords.h"
#include "keywords/KeywordFile.h"
#include "news/FNews.h"
#include "news/FNewsHint.h"
#include "news/NewsClient.h"
#include "news/UpdateCheck.h"
#include "platform/Platform.h"
#include "settings/FAbout.h"
#include "settings/FBranding.h"
#include "settings/SettingsFile.h"
#include "stats/CsvReader.h"
#include "stats/CsvWriter.h"
#include "stats/FOpenResults.h"
#include "stats/FSaveDialog.h"
#include "stats/FSelectSearch.h"
#include "stats/GatherData.h"
#include "util/UUtils.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QPushButton *barButton(const QString &text, const char *name)
{
    auto *b = new QPushButton(text);
    b->setObjectName(QLatin1String(name));
    b->setFixedHeight(20);
    b->setMinimumWidth(b->fontMetrics().horizontalAdvance(text) + 24);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QToolButton *iconButton(QStyle::StandardPixmap icon, const QString &hint, const char *name)
{
    auto *b = new QToolButton;
    b->setObjectName(QLatin1String(name));
    b->setIcon(QApplication::style()->standardIcon(icon));
    b->setIconSize(QSize(22, 22));
    b->setFixedSize(41, 34);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    return b;
}

QFrame *panel(const char *name, int height)
{
    auto *f = new QFrame;
    f->setObjectName(QLatin1String(name));
    if (height > 0)
        f->setFixedHeight(height);
    return f;
}

QLabel *linkLabel(const char *name)
{
    auto *l = new QLabel;
    l->setObjectName(QLatin1String(name));
    MakeLinkLabel(*l);
    return l;
}

} // namespace

TfrmMain::TfrmMain(const Endpoints &endpoints, const QString &programFolder, QWidget *parent)
    : QMainWindow(parent), m_endpoints(endpoints), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    m_realMessageBox = std::make_unique<TGuiMessageBox>(this);
    msgMain = m_realMessageBox.get();
    m_items = new TKeywordList(this);
    IdHTTP1 = new THttpClient(RunState, m_programFolder, this);
    connect(IdHTTP1, &THttpClient::statusText, this, &TfrmMain::SetMainStatus);
    connect(IdHTTP1, &THttpClient::workBegin, this, &TfrmMain::IdHTTP1WorkBegin);
    connect(IdHTTP1, &THttpClient::work, this, &TfrmMain::IdHTTP1Work);
    connect(IdHTTP1, &THttpClient::workEnd, this, &TfrmMain::IdHTTP1WorkEnd);
    m_optionsStore = std::make_unique<TOptionsStore>(MakeKeychainStore());
    m_pacing = std::make_unique<TPacing>(RunState, *this);
    ApplyUserOptions(m_optionsStore->Load(), *IdHTTP1, m_pacing->Pacer);

    pgcPrinc = new QStackedWidget;
    pgcPrinc->setObjectName(QStringLiteral("pgcPrinc"));
    BuildWelcomePage();
    BuildMainPage();
    setCentralWidget(pgcPrinc);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    LMDMessageHint1 = new TNewsHint(this);
    m_news = std::make_unique<TNewsClient>(*IdHTTP1, *msgMain, ProgramSettings, &RunState);

    // The client area is 914 x 597 at design.
    resize(914, 597);
    CenterOnScreen(this);
    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::SetMessageBox(IMessageBox *box)
{
    msgMain = box ? box : m_realMessageBox.get();
    m_news = std::make_unique<TNewsClient>(*IdHTTP1, *msgMain, ProgramSettings, &RunState);
}

void TfrmMain::BuildWelcomePage()
{
    stsWelcome = new QWidget;
    stsWelcome->setObjectName(QStringLiteral("stsWelcome"));
    auto *layout = new QVBoxLayout(stsWelcome);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    prfWelcome = new THtmlView(*IdHTTP1, m_programFolder);
    prfWelcome->setObjectName(QStringLiteral("prfWelcome"));
    layout->addWidget(prfWelcome, 1);
    QFrame *bottom = panel("panWelcomeBottom", 39);
    auto *bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(8, 0, 8, 0);
    btnThanks = new QPushButton(QStringLiteral("Thanks, just show me the main application"));
    btnThanks->setObjectName(QStringLiteral("btnThanks"));
    btnThanks->setFixedWidth(265);
    btnThanks->setDefault(true);
    bottomLayout->addStretch();
    bottomLayout->addWidget(btnThanks);
    bottomLayout->addStretch();
    layout->addWidget(bottom);
    connect(btnThanks, &QPushButton::clicked, this, Guarded([this] { btnThanksClick(); }));
    // A main window has no default button of its own, and the HTML view
    // keeps the focus: Enter anywhere on the page means "Thanks".
    for (QKeySequence key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto *enter = new QShortcut(key, stsWelcome);
        enter->setContext(Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, btnThanks, &QPushButton::click);
    }
    pgcPrinc->addWidget(stsWelcome);
}

void TfrmMain::BuildMainPage()
{
    stsMain = new QWidget;
    stsMain->setObjectName(QStringLiteral("stsMain"));
    auto *layout = new QVBoxLayout(stsMain);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Button bar
    QFrame *bar = panel("panButtons", 43);
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 0, 4, 0);
    barLayout->setSpacing(4);
    btnMainKeyword = barButton(QStringLiteral("Main Keyword"), "btnMainKeyword");
    btnGatherKeyword = barButton(QStringLiteral("Gather Keywords"), "btnGatherKeyword");
    btnAddKeyword = barButton(QStringLiteral("Add Keywords"), "btnAddKeyword");
    btnGatherData = barButton(QStringLiteral("Gather Data"), "btnGatherData");
    btnSaveResults = barButton(QStringLiteral("Save Results"), "btnSaveResults");
    btnMakeMoney = barButton(QStringLiteral("Make Money"), "btnMakeMoney");
    btnAbout = barButton(QStringLiteral("About"), "btnAbout");
    for (QPushButton *b : {btnMainKeyword, btnGatherKeyword, btnAddKeyword, btnGatherData,
                           btnSaveResults, btnMakeMoney, btnAbout})
        barLayout->addWidget(b);
    barLayout->addStretch();
    btnNews = iconButton(QStyle::SP_MessageBoxInformation, QStringLiteral("Check News"), "btnNews");
    btnUpdate = iconButton(QStyle::SP_BrowserReload, QStringLiteral("Check Updates"), "btnUpdate");
    btnHelp = iconButton(QStyle::SP_DialogHelpButton, QStringLiteral("Help"), "btnHelp");
    barLayout->addWidget(btnNews);
    barLayout->addWidget(btnUpdate);
    barLayout->addWidget(btnHelp);
    btnOptions = OptionsButton();
    barLayout->addWidget(btnOptions);
    layout->addWidget(bar);

    // Banner strip: the two pictures lie on top of each other, placed by hand.
    panBanner = panel("panBanner", 65);
    imgBanner = new TBannerPicture(panBanner);
    imgBanner->setObjectName(QStringLiteral("imgBanner"));
    imgBanner->setGeometry(0, 0, 0, 0);
    gifBanner = new TBannerPicture(panBanner);
    gifBanner->setObjectName(QStringLiteral("gifBanner"));
    gifBanner->hide();
    // The strip is laid out only while its page shows: keep the pictures
    // centred whenever it changes size.
    panBanner->installEventFilter(this);
    layout->addWidget(panBanner);

    // Keyword list
    lvwItems = new TKeywordView;
    lvwItems->setObjectName(QStringLiteral("lvwItems"));
    lvwItems->setModel(m_items);
    lvwItems->setShowGrid(true);
    lvwItems->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwItems->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwItems->setWordWrap(false);
    lvwItems->setCornerButtonEnabled(false);
    lvwItems->verticalHeader()->hide();
    lvwItems->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvwItems->verticalHeader()->setDefaultSectionSize(20);
    QHeaderView *header = lvwItems->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    for (int c = 0; c < KeywordRow::ColumnCount; ++c)
        lvwItems->setColumnWidth(c, TKeywordList::ColumnWidths[c]);
    connect(header, &QHeaderView::sectionClicked, this,
            Guarded([this](int column) { lvwItemsColumnClick(column); }));
    layout->addWidget(lvwItems, 1);
    BuildListMenu();

    QFrame *listButtons = panel("panListButtons", 35);
    auto *listLayout = new QHBoxLayout(listButtons);
    listLayout->setContentsMargins(6, 0, 6, 0);
    listLayout->setSpacing(6);
    bsSkinButton1 = barButton(QStringLiteral("Select All"), "bsSkinButton1");
    bsSkinButton2 = barButton(QStringLiteral("Clear Selection"), "bsSkinButton2");
    bsSkinButton3 = barButton(QStringLiteral("Delete Selected"), "bsSkinButton3");
    bsSkinButton4 = barButton(QStringLiteral("Delete All"), "bsSkinButton4");
    for (QPushButton *b : {bsSkinButton1, bsSkinButton2, bsSkinButton3, bsSkinButton4}) {
        b->setCursor(Qt::PointingHandCursor);
        b->setMinimumWidth(105);
        listLayout->addWidget(b);
    }
    listLayout->addStretch();
    // Above the gauge: the run as a whole, while Gather Data runs.
    RunProgressPanel = new TRunProgressPanel(this);
    listLayout->addWidget(RunProgressPanel);
    layout->addWidget(listButtons);

    // Links
    panLinks = panel("panLinks", 33);
    auto *linksLayout = new QHBoxLayout(panLinks);
    linksLayout->setContentsMargins(10, 0, 10, 0);
    lblLink1URL = linkLabel("lblLink1URL");
    lblLink2URL = linkLabel("lblLink2URL");
    lblLink2URL->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetLink(*lblLink1URL, "Google", "http://www.google.com/");
    SetLink(*lblLink2URL, "Google", "http://www.google.com/");
    linksLayout->addWidget(lblLink1URL);
    linksLayout->addStretch();
    linksLayout->addWidget(lblLink2URL);
    layout->addWidget(panLinks);

    layout->addWidget(BuildStatusBar());

    connect(btnMainKeyword, &QPushButton::clicked, this,
            Guarded([this] { btnMainKeywordClick(); }));
    connect(btnGatherKeyword, &QPushButton::clicked, this,
            Guarded([this] { btnGatherKeywordClick(); }));
    connect(btnAddKeyword, &QPushButton::clicked, this, Guarded([this] { btnAddKeywordClick(); }));
    connect(btnGatherData, &QPushButton::clicked, this, Guarded([this] { btnGatherDataClick(); }));
    connect(btnSaveResults, &QPushButton::clicked, this,
            Guarded([this] { btnSaveResultsClick(); }));
    connect(btnMakeMoney, &QPushButton::clicked, this, Guarded([this] { btnMakeMoneyClick(); }));
    connect(btnAbout, &QPushButton::clicked, this, Guarded([this] { btnAboutClick(); }));
    connect(btnNews, &QToolButton::clicked, this, Guarded([this] { btnNewsClick(); }));
    connect(btnUpdate, &QToolButton::clicked, this, Guarded([this] { btnUpdateClick(); }));
    connect(btnHelp, &QToolButton::clicked, this, Guarded([this] { btnHelpClick(); }));
    connect(btnOptions, &QToolButton::clicked, this, Guarded([this] { btnOptionsClick(); }));
    connect(bsSkinButton1, &QPushButton::clicked, this, Guarded([this] { bsSkinButton1Click(); }));
    connect(bsSkinButton2, &QPushButton::clicked, this, Guarded([this] { bsSkinButton2Click(); }));
    connect(bsSkinButton3, &QPushButton::clicked, this, Guarded([this] { bsSkinButton3Click(); }));
    connect(bsSkinButton4, &QPushButton::clicked, this, Guarded([this] { bsSkinButton4Click(); }));
    connect(imgBanner, &TBannerPicture::clicked, this, Guarded([this] { imgBannerClick(); }));
    connect(gifBanner, &TBannerPicture::clicked, this, Guarded([this] { gifBannerClick(); }));

    pgcPrinc->addWidget(stsMain);
}

QWidget *TfrmMain::BuildStatusBar()
{
    QFrame *bar = panel("panStatus", 17);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    auto statusPanel = [](const char *name, int width) {
        auto *l = new QLabel;
        l->setObjectName(QLatin1String(name));
        l->setProperty("statusPanel", true);
        if (width > 0)
            l->setFixedWidth(width);
        else
            l->setMinimumWidth(0);
        l->setSizePolicy(width > 0 ? QSizePolicy::Fixed : QSizePolicy::Ignored,
                         QSizePolicy::Preferred);
        return l;
    };
    MainStatusPanel = statusPanel("MainStatusPanel", 0);
    bsSkinStatusPanel1 = statusPanel("bsSkinStatusPanel1", 160);
    SecondStatusPanel = statusPanel("SecondStatusPanel", 82);
    SecondStatusPanel->setText(QStringLiteral("0 item listed"));
    MainGauge = new QProgressBar;
    MainGauge->setObjectName(QStringLiteral("MainGauge"));
    MainGauge->setFixedWidth(130);
    MainGauge->setRange(0, 100);
    MainGauge->setValue(0);
    MainGauge->setTextVisible(true);
    MainGauge->setFormat(QStringLiteral("%p%"));
    MainGauge->setAlignment(Qt::AlignCenter);
    MainGauge->setAccessibleName(QStringLiteral("Progress"));
    connect(MainGauge, &QProgressBar::valueChanged, MainGauge,
            [g = MainGauge] { g->setAccessibleDescription(g->text()); });
    MainGauge->setAccessibleDescription(MainGauge->text());
    layout->addWidget(MainStatusPanel, 1);
    layout->addWidget(bsSkinStatusPanel1);
    layout->addWidget(SecondStatusPanel);
    layout->addWidget(MainGauge);
    return bar;
}

void TfrmMain::BuildListMenu()
{
    mnuItems = new QMenu(lvwItems);
    mnuItems->setObjectName(QStringLiteral("mnuItems"));
    actCopy = mnuItems->addAction(QStringLiteral("Copy"));
    actCopy->setObjectName(QStringLiteral("actCopy"));
    actCopy->setShortcut(QKeySequence::Copy);
    actCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    lvwItems->addAction(actCopy);
    mnuItems->addSeparator();
    actOpenResults = mnuItems->addAction(QStringLiteral("Open Results..."));
    actOpenResults->setObjectName(QStringLiteral("actOpenResults"));
    actRemoveDuplicates = mnuItems->addAction(QStringLiteral("Remove Duplicates"));
    actRemoveDuplicates->setObjectName(QStringLiteral("actRemoveDuplicates"));
    actGatherMissing = mnuItems->addAction(QStringLiteral("Gather Missing Counts"));
    actGatherMissing->setObjectName(QStringLiteral("actGatherMissing"));
    actReopenLast = mnuItems->addAction(QStringLiteral("Reopen Last List"));
    actReopenLast->setObjectName(QStringLiteral("actReopenLast"));
    actReopenLast->setEnabled(false);

    mnuItems->addSeparator();
    actOptions = mnuItems->addAction(QStringLiteral("Options..."));
    actOptions->setObjectName(QStringLiteral("actOptions"));
    connect(actOptions, &QAction::triggered, this, Guarded([this] { btnOptionsClick(); }));

    lvwItems->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvwItems, &QWidget::customContextMenuRequested, this,
            Guarded([this](const QPoint &pos) { lvwItemsContextPopup(pos); }));
    connect(lvwItems, &TKeywordView::filesDropped, this,
            Guarded([this](const QStringList &paths) { lvwItemsDropFiles(paths); }));
    connect(actCopy, &QAction::triggered, this, Guarded([this] { actCopyClick(); }));
    connect(actOpenResults, &QAction::triggered, this, Guarded([this] { actOpenResultsClick(); }));
    connect(actRemoveDuplicates, &QAction::triggered, this,
            Guarded([this] { actRemoveDuplicatesClick(); }));
    connect(actGatherMissing, &QAction::triggered, this,
            Guarded([this] { actGatherMissingClick(); }));
    connect(actReopenLast, &QAction::triggered, this, Guarded([this] { actReopenLastClick(); }));

    auto update = Guarded([this] { UpdateCopyAction(); });
    connect(lvwItems->selectionModel(), &QItemSelectionModel::selectionChanged, this, update);
    connect(m_items, &QAbstractItemModel::dataChanged, this,
            Guarded([this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                if (roles.contains(Qt::CheckStateRole))
                    UpdateCopyAction();
            }));
    connect(m_items, &QAbstractItemModel::rowsRemoved, this, update);
    connect(m_items, &QAbstractItemModel::modelReset, this, update);
    UpdateCopyAction();
}

// ---- life cycle -----------------------------------------------------------

void TfrmMain::FormCreate()
{
    gifBanner->setGeometry(imgBanner->geometry());
    LoadSettings();
    if (ProgramSettings.WelcomeHTML.isEmpty())
        Timer1->start();
    NewsList.clear();
    SortColumn = -1;
    SortAscending = true;
}

void TfrmMain::LoadSettings()
{
    // Without a settings file the window keeps its designed look.
    const std::optional<QByteArray> plain = ReadSettingsPlain(m_programFolder);
    if (!plain)
        return;
    QRandomGenerator random = QRandomGenerator::securelySeeded();
    const TSettingsPass pass = ReadSettingsText(*plain, random);
    ProgramSettings = pass.Settings;
    ApplyBranding({this, btnNews, btnMakeMoney, panBanner, imgBanner, gifBanner, panLinks,
                   lblLink1URL, lblLink2URL},
                  pass, m_programFolder);
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmMain::FormShow()
{
    // A page is laid out only while it is current: show each once so that
    // the main page has its real size before anyone looks at it.
    for (int i = 0; i < pgcPrinc->count(); ++i) {
        pgcPrinc->setCurrentIndex(i);
        QCoreApplication::processEvents();
    }
    pgcPrinc->setCurrentIndex(0);
    if (!ProgramSettings.WelcomeHTML.isEmpty()) {
        pgcPrinc->setCurrentIndex(0);
        // The button is 265 pixels wide; its long caption stays whole.
        FitTypeToWidth({btnThanks}, btnThanks->width(), 12, 9);
        prfWelcome->ShowDocument(ProgramSettings.WelcomeHTML);
    } else if (stsWelcome) {
        pgcPrinc->removeWidget(stsWelcome);
        stsWelcome->deleteLater();
        stsWelcome = nullptr;
        prfWelcome = nullptr;
        btnThanks = nullptr;
    }
    pgcPrinc->setCurrentIndex(0);
    FormResize();
    if (!stsWelcome)
        QTimer::singleShot(0, this, Guarded([this] { OfferRestore(); }));
}

void TfrmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == panBanner && event->type() == QEvent::Resize)
        FormResize();
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::FormResize()
{
    // Integer halves truncate toward zero, as C++ division does.
    for (QLabel *picture : {imgBanner, gifBanner}) {
        picture->move(panBanner->width() / 2 - picture->width() / 2,
                      panBanner->height() / 2 - picture->height() / 2);
    }
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    IdHTTP1->Disconnect();
    StopRequested = true;
    QCoreApplication::processEvents();
    if (m_journal)
        m_journal->closeNormally();
    event->accept();
}

void TfrmMain::btnThanksClick()
{
    pgcPrinc->setCurrentWidget(stsMain);
    if (!ProgramSettings.WelcomeHTML.isEmpty())
        Timer1->start();
    OfferRestore();
}

void TfrmMain::StartJournal(const QString &folder)
{
    m_journal = std::make_unique<TJournal>();
    m_journal->attach(*m_items);
    m_journal->open(folder);
    // Trouble while writing is told once, from the writer's thread.
    connect(m_journal.get(), &TJournal::problem, this, &TfrmMain::SetMainStatus);
}

void TfrmMain::OfferRestore()
{
    if (!m_journal)
        return;
    const TRestoreOutcome outcome =
        OfferJournalRestore(*m_journal, *m_items, *msgMain, *this, [this](int searchType) {
            return MissingCountRequests(*m_items, searchType);
        });
    if (outcome.Interrupted)
        m_presetSearchType = outcome.SearchType;
}

void TfrmMain::JournalSwitched(bool enabled)
{
    // Off takes effect now: what is kept is marked as closed, nothing asked
    // at the next start. On takes effect at the next start.
    if (!enabled && m_journal)
        m_journal->closeNormally();
    SetMainStatus(enabled ? QStringLiteral("The list will be kept on disk from the next start.")
                          : QStringLiteral("The list is no longer kept on disk."));
}

void TfrmMain::actReopenLastClick()
{
    if (m_journal)
        ReopenLastList(*m_journal, *m_items, *this);
}

void TfrmMain::Timer1Timer()
{
    Timer1->stop();
    if (RunState.Busy) {
        // A command already talks to the web: try again once it is done.
        Timer1->start();
        return;
    }
    // The check takes no turn of its own: a user's web command ends it.
    QPointer<TfrmMain> self(this);
    StartupCheck.Begin();
    const std::optional<QString> hint = StartupNewsHint(*m_news, ProgramSettings, m_programFolder);
    // A window closed during the request ends the program: no update check.
    if (!self)
        return;
    if (!isVisible() || StartupCheck.GaveWay()) {
        StartupCheck.End();
        return;
    }
    if (hint)
        ShowNewsHint(*hint);
    CheckForUpdates(true);
    if (self)
        StartupCheck.End();
}

bool TfrmMain::StartUserWebCommand()
{
    return MayStartUserCommand(RunState, StartupCheck, *IdHTTP1,
                               [this](const QString &text) { SetMainStatus(text); });
}

void TfrmMain::ShowNewsHint(const QString &text)
{
    LMDMessageHint1->ShowHint(text, btnNews);
}

// ---- status bar and progress ----------------------------------------------

void TfrmMain::SetMainStatus(const QString &text)
{
    MainStatusPanel->setText(text);
}

void TfrmMain::SetRowCountText(const QString &text)
{
    SecondStatusPanel->setText(text);
    // The panel is 82 pixels wide; a long count takes a smaller type rather
    // than losing its end.
    FitTypeToWidth({SecondStatusPanel}, SecondStatusPanel->width(), 11, 8);
}

void TfrmMain::IdHTTP1WorkBegin(qint64 total)
{
    // Without an announced length the gauge simply shows no progress.
    m_gaugeHasLength = total > 0;
    MainGauge->setRange(0, total > 0 ? static_cast<int>(qMin<qint64>(total, INT_MAX)) : 100);
    MainGauge->setValue(0);
}

void TfrmMain::IdHTTP1Work(qint64 count)
{
    // A byte count against no known total is no progress: the gauge waits
    // for the end.
    if (!m_gaugeHasLength)
        count = 0;
    if (count <= MainGauge->maximum())
        MainGauge->setValue(static_cast<int>(count));
}

void TfrmMain::IdHTTP1WorkEnd()
{
    MainGauge->setValue(MainGauge->maximum());
}

// ---- keyword entry ----------------------------------------------------------

void TfrmMain::btnMainKeywordClick()
{
    TfrmMainKeyword dialog(*msgMain, this);
    if (RunModal(dialog) != QDialog::Accepted)
        return;
    MainKeyword = FromScreen(dialog.edtMainKeyword->text());
    bsSkinStatusPanel1->setText(QStringLiteral("Main Keyword: ") + ToScreen(MainKeyword));
    MainStatusPanel->clear();
}

void TfrmMain::btnAddKeywordClick()
{
    TfrmAddKeywords dialog(*msgMain, this);
    if (RunModal(dialog) != QDialog::Accepted)
        return;
    if (!dialog.edtAddKeyword->text().isEmpty()) {
        m_items->addRow(FromScreen(dialog.edtAddKeyword->text()));
        SetRowCountText(ItemsListedText(m_items->count()));
    } else {
        AddKeywordsFromFile(dialog.edtList->text());
    }
}

void TfrmMain::AddKeywordsFromFile(const QString &path)
{
    ::AddKeywordsFromFile(path, *m_items, *this);
}

// ---- list buttons -------------------------------------------------------------

void TfrmMain::bsSkinButton1Click()
{
    m_items->setAllChecked(true);
}

void TfrmMain::bsSkinButton2Click()
{
    m_items->setAllChecked(false);
}

void TfrmMain::bsSkinButton3Click()
{
    if (msgMain->Confirm(
            QStringLiteral("Are you sure do you want to delete the selected keywords?")))
        m_items->deleteChecked();
    SetRowCountText(ItemsListedText(m_items->count()));
}

void TfrmMain::bsSkinButton4Click()
{
    if (msgMain->Confirm(QStringLiteral("Are you sure do you want to delete all?")))
        m_items->deleteAll();
    SetRowCountText(ItemsListedText(m_items->count()));
}

void TfrmMain::lvwItemsColumnClick(int column)
{
    if (!m_headerClicks)
        return;
    if (column == SortColumn)
        SortAscending = !SortAscending;
    else
        SortColumn = column;
    m_items->sortByColumn(column, SortAscending);
    lvwItems->horizontalHeader()->setSortIndicatorShown(true);
    lvwItems->horizontalHeader()->setSortIndicator(column, SortAscending ? Qt::AscendingOrder
                                                                         : Qt::DescendingOrder);
}

void TfrmMain::SetDeleteButtonsEnabled(bool enabled)
{
    bsSkinButton3->setEnabled(enabled);
    bsSkinButton4->setEnabled(enabled);
    actRemoveDuplicates->setEnabled(enabled);
    actGatherMissing->setEnabled(enabled);
}

void TfrmMain::UpdateCopyAction()
{
    actCopy->setEnabled(!RowsToCopy(*m_items, lvwItems->SelectedRows()).empty());
}

// ---- the list's context menu and drops ----------------------------------------

void TfrmMain::lvwItemsContextPopup(const QPoint &pos)
{
    UpdateCopyAction();
    actReopenLast->setEnabled(m_journal && m_journal->canReopenLast());
    mnuItems->popup(lvwItems->viewport()->mapToGlobal(pos));
}

void TfrmMain::actCopyClick()
{
    const std::vector<int> rows = RowsToCopy(*m_items, lvwItems->SelectedRows());
    if (!rows.empty())
        QGuiApplication::clipboard()->setText(CopyText(*m_items, rows));
}

void TfrmMain::lvwItemsDropFiles(const QStringList &paths)
{
    OpenResultFiles(paths, *m_items, *msgMain, *this,
                    [this](const QString &path) { AddKeywordsFromFile(path); });
}

void TfrmMain::actOpenResultsClick()
{
    TOpenResultsDialog dialog(m_lastSavedFile.isEmpty() ? m_programFolder : m_lastSavedFile, this);
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    lvwItemsDropFiles(dialog.selectedFiles());
}

void TfrmMain::actRemoveDuplicatesClick()
{
    RemoveDuplicates(*m_items, *msgMain, *this);
}

void TfrmMain::actGatherMissingClick()
{
    RunGather(TGatherScope::Missing);
}

void TfrmMain::SetHeaderClicksEnabled(bool enabled)
{
    m_headerClicks = enabled;
    lvwItems->horizontalHeader()->setSectionsClickable(enabled);
}

TCommandContext TfrmMain::Context()
{
    return TCommandContext{*m_items, *IdHTTP1,    RunState,       *msgMain,        *this,
                           *this,    m_endpoints, m_pacing.get(), RunProgressPanel};
}

// ---- commands of later subsystems -------------------------------------------

void TfrmMain::btnGatherKeywordClick()
{
    if (!StartUserWebCommand())
        return;
    TCommandContext ctx = Context();
    GatherKeywords(ctx, MainKeyword);
}

void TfrmMain::btnGatherDataClick()
{
    RunGather(TGatherScope::All);
}

void TfrmMain::RunGather(TGatherScope scope)
{
    if (m_items->count() == 0) {
        msgMain->Notice(
            QStringLiteral("You need add keywords to gather data from search engines."));
        return;
    }
    if (btnGatherData->text() != QStringLiteral("Gather Data")) {
        // Stop: a click that arrives while the run below waits for a page.
        StopRequested = true;
        IdHTTP1->Disconnect();
        btnGatherData->setText(QStringLiteral("Gather Data"));
        SetHeaderClicksEnabled(true);
        SetDeleteButtonsEnabled(true);
        QCoreApplication::processEvents();
        return;
    }
    if (!StartUserWebCommand())
        return;
    TBusyGuard busy(RunState);
    const std::optional<int> searchType = AskSearchType();
    if (!searchType)
        return;
    SearchType = *searchType;
    if (scope == TGatherScope::Missing && MissingCountRequests(*m_items, SearchType) == 0) {
        SetMainStatus(QStringLiteral("Every count is already there: no request was sent."));
        return;
    }

    QPointer<TfrmMain> self(this);
    SetHeaderClicksEnabled(false);
    SetDeleteButtonsEnabled(false);
    StopRequested = false;
    btnGatherData->setText(QStringLiteral("Stop"));
    if (m_journal)
        m_journal->runStarted(SearchType, int(scope));
    auto done = qScopeGuard([&] {
        if (!self)
            return;
        if (m_journal)
            m_journal->runEnded();
        btnGatherData->setText(QStringLiteral("Gather Data"));
        QCoreApplication::processEvents();
        SetHeaderClicksEnabled(true);
        SetDeleteButtonsEnabled(true);
    });
    TCommandContext ctx = Context();
    GatherData(ctx, SearchType, scope);
}

void TfrmMain::btnSaveResultsClick()
{
    TCommandContext ctx = Context();
    SaveResults(ctx, m_programFolder, m_lastSavedFile);
}

void TfrmMain::btnMakeMoneyClick()
{
    OpenURL(ProgramSettings.AffiliateURL);
}

void TfrmMain::btnAboutClick()
{
    TfrmAbout dialog(ProgramSettings, this);
    RunModal(dialog);
}

void TfrmMain::btnNewsClick()
{
    if (!StartUserWebCommand())
        return;
    TBusyGuard busy(RunState);
    // A Stop ended the run it stopped, not this one.
    StopRequested = false;
    // The balloon points at this button: pressing it answers the balloon,
    // which would otherwise float over the news window.
    LMDMessageHint1->Dismiss();
    CheckNews(*m_news, ProgramSettings, NewsList, *msgMain, [this] {
        TfrmNews news(NewsList, ProgramSettings, *m_news, *IdHTTP1, m_programFolder, this);
        RunModal(news);
    });
}

void TfrmMain::btnUpdateClick()
{
    if (!StartUserWebCommand())
        return;
    TBusyGuard busy(RunState);
    StopRequested = false;
    CheckForUpdates(false);
}

void TfrmMain::CheckForUpdates(bool silent)
{
    QPointer<TfrmMain> self(this);
    // The main window owns the updater's start.
    TUpdateContext ctx{*IdHTTP1,
                       *msgMain,
                       m_programFolder,
                       m_endpoints.LiveUpdate,
                       [this](const QString &path, const QStringList &arguments) {
                           return platform::StartProgram(path, arguments, quintptr(winId()));
                       },
                       &RunState};
    const TUpdateOutcome outcome = ::CheckForUpdates(ctx, silent);
    if (self && outcome == TUpdateOutcome::UpdaterStarted)
        close();
}

void TfrmMain::btnHelpClick()
{
    OpenURL(ProgramSettings.AppHelpURL);
}

void TfrmMain::btnOptionsClick()
{
    const TOptionsPart journal = [this](TfrmOptions &dialog) {
        return AddJournalOption(dialog, [this](bool enabled) { JournalSwitched(enabled); });
    };
    EditUserOptions(*m_optionsStore, *IdHTTP1, m_pacing->Pacer, this, {journal});
}

void TfrmMain::imgBannerClick()
{
    if (!ProgramSettings.BannerURL.isEmpty())
        OpenURL(ProgramSettings.BannerURL);
}

void TfrmMain::gifBannerClick()
{
    imgBannerClick();
}

std::optional<CaptchaAnswer> TfrmMain::AskCaptcha(const QByteArray &pageHtml)
{
    TfrmCaptcha dialog(*IdHTTP1, *msgMain, this);
    dialog.PageHtml = pageHtml;
    if (RunModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return CaptchaAnswer{FromScreen(dialog.edtPassword->text()), dialog.RandomValue,
                         dialog.SeedValue};
}

std::optional<int> TfrmMain::AskSearchType()
{
    TfrmSelSearch dialog(this);
    if (m_presetSearchType == 1)
        dialog.bsSkinCheckRadioBox2->setChecked(true);
    m_presetSearchType = -1;
    if (RunModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.bsSkinCheckRadioBox1->isChecked() ? 0 : 1;
}

QString TfrmMain::AskSaveFileName(const QString &startPath)
{
    TSaveDialog dialog(startPath, this);
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
