#pragma once
// The news window: the items of the last Check News, and the text of the one
// the user selects, fetched from the news service. Opening an item stores its
// id as the last news read.

#include "settings/ProgramSettings.h"

#include <QByteArray>
#include <QDialog>
#include <QList>

class QFrame;
class QPushButton;
class QSplitter;
class QTreeWidget;
class THtmlView;
class THttpClient;
class TNewsClient;

class TfrmNews : public QDialog
{
    Q_OBJECT
public:
    // The id of a row travels with it under this role.
    static constexpr int NewsIdRole = Qt::UserRole + 1;

    TfrmNews(const QList<QByteArray> &newsList, const TProgramSettings &settings,
             TNewsClient &client, THttpClient &http, const QString &programFolder,
             QWidget *parent = nullptr);
    ~TfrmNews() override;

    QFrame *panTop;
    QTreeWidget *lvwItems;
    QSplitter *splMain;
    THtmlView *prfEditorNews;
    QFrame *panBottom;
    QPushButton *btnExit;

    // True while the text of an item is being fetched.
    bool Busy = false;

    void FormShow();
    void lvwItemsChange();
    // False refuses the change.
    bool lvwItemsChanging() const;
    void btnExitClick();
    bool FetchNewsDetails(const QByteArray &publId, const QByteArray &brandCode,
                          const QByteArray &tierCode, const QByteArray &newsTarget,
                          const QByteArray &newsId, QByteArray &text);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void SetBusyCursor(bool busy);

    const QList<QByteArray> &m_newsList;
    const TProgramSettings &m_settings;
    TNewsClient &m_client;
    QString m_programFolder;
    bool m_filled = false;
};
