#pragma once
// The three requests to the reseller's news service, posted on the window's
// one client, and the two commands built on them. Error replies are shown in
// the main window's message box.

#include "news/NewsReplies.h"
#include "settings/ProgramSettings.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <optional>

class IMessageBox;
class THttpClient;
class TRunState;

// News and update requests give up after this long and end as failed ones: a
// service that accepts and never answers must not hold the window's one web
// command for the rest of the run.
inline constexpr int DefaultNewsTimeoutMs = 60000;
int NewsTimeoutMs();
// Tests shorten it; 0 or less puts the default back.
void SetNewsTimeoutMs(int ms);

class TNewsClient
{
public:
    // run: its stop flag, when set, keeps a request from being sent at all.
    TNewsClient(THttpClient &http, IMessageBox &msg, const TProgramSettings &settings,
                const TRunState *run = nullptr);

    // The list request; appends what it receives. Messages always shown.
    bool FetchNewsList(const QByteArray &publId, const QByteArray &brandCode,
                       const QByteArray &tierCode, const QByteArray &newsTarget,
                       QList<QByteArray> &records);
    // The latest-item request. Messages only when not silent.
    bool CheckLatestNews(const QByteArray &publId, const QByteArray &brandCode,
                         const QByteArray &tierCode, const QByteArray &newsTarget,
                         QByteArray &latestId, QByteArray &latestTitle, bool silent);
    // The text of one item. Messages always shown.
    bool FetchNewsDetails(const QByteArray &publId, const QByteArray &brandCode,
                          const QByteArray &tierCode, const QByteArray &newsTarget,
                          const QByteArray &newsId, QByteArray &text);

private:
    // The trimmed reply; empty for every failed exchange.
    QByteArray Post(const QByteArray &tierCode, const QByteArray &script,
                    const QList<QPair<QByteArray, QByteArray>> &fields);
    void ShowError(const QByteArray &reply, bool detailsRequest);

    THttpClient &m_http;
    IMessageBox &m_msg;
    const TProgramSettings &m_settings;
    const TRunState *m_run;
};

// Check News: empties the list, asks the service and opens the news window
// through showNews when there is at least one item; otherwise says so.
void CheckNews(TNewsClient &client, const TProgramSettings &settings, QList<QByteArray> &newsList,
               IMessageBox &msg, const std::function<void()> &showNews);

// The start-up check: the hint text when the service names an item newer
// than the last one the user opened.
std::optional<QString> StartupNewsHint(TNewsClient &client, const TProgramSettings &settings,
                                       const QString &programFolder);
