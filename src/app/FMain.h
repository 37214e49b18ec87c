#pragma once
// The main window: two pages (welcome, main), every button of the program,
// the keyword list and the status bar. Each button's handler is a few lines
// that hand over to its command.

#include "base/Endpoints.h"
#include "base/FKeywordView.h"
#include "base/KeywordList.h"
#include "base/MessageBox.h"
#include "base/Prompts.h"
#include "base/RunState.h"
#include "base/StatusBar.h"
#include "news/StartupCheck.h"
#include "settings/ProgramSettings.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QFrame;
class QMenu;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class TBannerPicture;
class THtmlView;
class QTimer;
class QToolButton;
class THttpClient;
class TNewsClient;
class TNewsHint;
class TOptionsStore;
class TPacing;
class TRunProgressPanel;
class TJournal;
struct TCommandContext;
enum class TGatherScope;

class TfrmMain : public QMainWindow, public IStatusBar, public IUserPrompts
{
    Q_OBJECT
public:
    // programFolder holds the settings, banners and temporary files.
    TfrmMain(const Endpoints &endpoints, const QString &programFolder, QWidget *parent = nullptr);
    ~TfrmMain() override;

    // State held for the whole run.
    TRunState RunState; // StopRequested and the one-web-command guard
    bool &StopRequested = RunState.StopRequested;
    QByteArray MainKeyword;
    int SearchType = 0;
    int SortColumn = -1;
    bool SortAscending = true;
    QList<QByteArray> NewsList;
    TProgramSettings ProgramSettings;

    // The message-box seam; tests put a scripted one in its place.
    IMessageBox *msgMain;
    void SetMessageBox(IMessageBox *box);

    TKeywordList *Items() const { return m_items; }
    THttpClient *IdHTTP1;

    // Pages
    QStackedWidget *pgcPrinc;
    QWidget *stsWelcome;
    QWidget *stsMain;
    THtmlView *prfWelcome;
    QPushButton *btnThanks;
    // Button bar
    QPushButton *btnMainKeyword, *btnGatherKeyword, *btnAddKeyword, *btnGatherData, *btnSaveResults,
        *btnMakeMoney, *btnAbout;
    QToolButton *btnNews, *btnUpdate, *btnHelp;
    QToolButton *btnOptions; // the gear beside Help
    // Banner
    QFrame *panBanner;
    TBannerPicture *imgBanner, *gifBanner;
    // List
    TKeywordView *lvwItems;
    // The list's context menu; Copy also answers Ctrl+C on the list.
    QMenu *mnuItems;
    QAction *actCopy, *actOpenResults, *actRemoveDuplicates, *actGatherMissing, *actReopenLast;
    QAction *actOptions;
    QPushButton *bsSkinButton1, *bsSkinButton2, *bsSkinButton3, *bsSkinButton4;
    // Links
    QFrame *panLinks;
    QLabel *lblLink1URL, *lblLink2URL;
    // Status bar
    QLabel *MainStatusPanel, *bsSkinStatusPanel1, *SecondStatusPanel;
    QProgressBar *MainGauge;
    TRunProgressPanel *RunProgressPanel; // beside the list buttons while Gather Data runs
    QTimer *Timer1;

    // IStatusBar
    void SetMainStatus(const QString &text) override;
    void SetRowCountText(const QString &text) override;
    // IUserPrompts
    std::optional<CaptchaAnswer> AskCaptcha(const QByteArray &pageHtml) override;
    std::optional<int> AskSearchType() override;
    QString AskSaveFileName(const QString &startPath) override;

    // Handlers
    void btnThanksClick();
    void btnMainKeywordClick();
    void btnGatherKeywordClick();
    void btnAddKeywordClick();
    void btnGatherDataClick();
    void btnSaveResultsClick();
    void btnMakeMoneyClick();
    void btnAboutClick();
    void btnNewsClick();
    void btnUpdateClick();
    void btnHelpClick();
    void btnOptionsClick();
    void imgBannerClick();
    void gifBannerClick();
    void bsSkinButton1Click();
    void bsSkinButton2Click();
    void bsSkinButton3Click();
    void bsSkinButton4Click();
    void lvwItemsColumnClick(int column);
    void lvwItemsContextPopup(const QPoint &pos);
    void lvwItemsDropFiles(const QStringList &paths);
    void actCopyClick();
    void actOpenResultsClick();
    void actRemoveDuplicatesClick();
    void actGatherMissingClick();
    void actReopenLastClick();
    void Timer1Timer();
    void IdHTTP1WorkBegin(qint64 total);
    void IdHTTP1Work(qint64 count);
    void IdHTTP1WorkEnd();

    // Shows the text in the news balloon at the News button.
    void ShowNewsHint(const QString &text);
    TNewsHint *LMDMessageHint1;

    // The update check; the window closes when the updater took over.
    void CheckForUpdates(bool silent);
    // The silent start-up check gives way to a user's web command.
    TStartupCheck StartupCheck;

    void AddKeywordsFromFile(const QString &path);
    // Header clicks are switched off while Gather Data runs.
    void SetHeaderClicksEnabled(bool enabled);
    // Gather Data addresses rows by position: no deleting while it runs.
    void SetDeleteButtonsEnabled(bool enabled);
    // Copy needs selected or checked rows.
    void UpdateCopyAction();
    const QString &ProgramFolder() const { return m_programFolder; }
    const Endpoints &Urls() const { return m_endpoints; }
    TCommandContext Context();
    // The user's options and the pacing they set.
    TOptionsStore &OptionsStore() const { return *m_optionsStore; }
    TPacing &Pacing() const { return *m_pacing; }

    // Keeps the list on disk in folder from now on; call before the window
    // shows, which asks whether to restore what a crashed run left.
    void StartJournal(const QString &folder);
    TJournal *Journal() const { return m_journal.get(); }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void FormResize();
    void LoadSettings();
    void BuildWelcomePage();
    void BuildMainPage();
    QWidget *BuildStatusBar();
    void BuildListMenu();
    void RunGather(TGatherScope scope);
    // Before a user's web command; false when another one runs.
    bool StartUserWebCommand();
    void OfferRestore();
    void JournalSwitched(bool enabled);

    Endpoints m_endpoints;
    QString m_programFolder;
    TKeywordList *m_items;
    std::unique_ptr<IMessageBox> m_realMessageBox;
    std::unique_ptr<TNewsClient> m_news;
    std::unique_ptr<TOptionsStore> m_optionsStore;
    std::unique_ptr<TPacing> m_pacing;
    bool m_shown = false;
    bool m_headerClicks = true;
    bool m_gaugeHasLength = true; // the running transfer announced its length
    QString m_lastSavedFile;
    std::unique_ptr<TJournal> m_journal;
    int m_presetSearchType = -1; // of the run a restore found interrupted
};
