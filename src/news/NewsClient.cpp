#include "news/NewsClient.h"

#include "base/HttpClient.h"
#include "base/MessageBox.h"
#include "base/RunState.h"
#include "base/ScreenText.h"
#include "settings/SettingsFile.h"

namespace {
int g_newsTimeoutMs = DefaultNewsTimeoutMs;
}

int NewsTimeoutMs()
{
    return g_newsTimeoutMs;
}

void SetNewsTimeoutMs(int ms)
{
    g_newsTimeoutMs = ms > 0 ? ms : DefaultNewsTimeoutMs;
}

TNewsClient::TNewsClient(THttpClient &http, IMessageBox &msg, const TProgramSettings &settings,
                         const TRunState *run)
    : m_http(http), m_msg(msg), m_settings(settings), m_run(run)
{
}

QByteArray TNewsClient::Post(const QByteArray &tierCode, const QByteArray &script,
                             const QList<QPair<QByteArray, QByteArray>> &fields)
{
    // Stopped before it started: nothing goes out, and it fails like any
    // exchange that did not happen.
    if (m_run && m_run->StopRequested)
        return {};
    const QByteArray address = NewsScriptAddress(NewsBaseAddress(m_settings, tierCode), script);
    // Only the gauge follows a news request; the status texts belong to page
    // downloads.
    const THttpClient::Result result = m_http.PostMultipart(address, fields, NewsTimeoutMs());
    return result.Ok ? TrimReply(result.Body) : QByteArray();
}

void TNewsClient::ShowError(const QByteArray &reply, bool detailsRequest)
{
    const QString text = NewsErrorText(reply, detailsRequest);
    if (!text.isEmpty())
        m_msg.Failure(text);
}

bool TNewsClient::FetchNewsList(const QByteArray &publId, const QByteArray &brandCode,
                                const QByteArray &tierCode, const QByteArray &newsTarget,
                                QList<QByteArray> &records)
{
    const QByteArray reply = Post(tierCode, "getlastnews.php",
                                  {{"memusername", publId},
                                   {"prodcode", brandCode},
                                   {"prodtype", tierCode},
                                   {"conttype", "all"},
                                   {"newstarget", newsTarget},
                                   {"something", {}}});
    if (!IsSuccessReply(reply)) {
        ShowError(reply, false);
        return false;
    }
    ParseNewsList(reply, records);
    return true;
}

bool TNewsClient::CheckLatestNews(const QByteArray &publId, const QByteArray &brandCode,
                                  const QByteArray &tierCode, const QByteArray &newsTarget,
                                  QByteArray &latestId, QByteArray &latestTitle, bool silent)
{
    latestId.clear();
    latestTitle.clear();
    const QByteArray reply = Post(tierCode, "getlastnews.php",
                                  {{"memusername", publId},
                                   {"prodcode", brandCode},
                                   {"prodtype", tierCode},
                                   {"conttype", "lastcode"},
                                   {"newstarget", newsTarget},
                                   {"something", {}}});
    if (!IsSuccessReply(reply)) {
        if (!silent)
            ShowError(reply, false);
        return false;
    }
    ParseLatestNews(reply, latestId, latestTitle);
    return true;
}

bool TNewsClient::FetchNewsDetails(const QByteArray &publId, const QByteArray &brandCode,
                                   const QByteArray &tierCode, const QByteArray &newsTarget,
                                   const QByteArray &newsId, QByteArray &text)
{
    text.clear();
    const QByteArray reply = Post(tierCode, "getnewsdetails.php",
                                  {{"memusername", publId},
                                   {"prodcode", brandCode},
                                   {"prodtype", tierCode},
                                   {"newsid", newsId},
                                   {"newstarget", newsTarget},
                                   {"something", {}}});
    if (!IsSuccessReply(reply)) {
        ShowError(reply, true);
        return false;
    }
    text = ParseNewsDetails(reply);
    return true;
}

void CheckNews(TNewsClient &client, const TProgramSettings &settings, QList<QByteArray> &newsList,
               IMessageBox &msg, const std::function<void()> &showNews)
{
    newsList.clear();
    if (const std::optional<TNewsTier> tier = FindNewsTier(settings)) {
        if (client.FetchNewsList(tier->PublisherId, settings.BranderCode, tier->TierCode,
                                 NewsTarget, newsList) &&
            !newsList.isEmpty()) {
            showNews();
            return;
        }
    }
    msg.Notice(QStringLiteral("There's no news for this application!"));
}

std::optional<QString> StartupNewsHint(TNewsClient &client, const TProgramSettings &settings,
                                       const QString &programFolder)
{
    const std::optional<TNewsTier> tier = FindNewsTier(settings);
    if (!tier)
        return std::nullopt;
    QByteArray latestId;
    QByteArray latestTitle;
    if (!client.CheckLatestNews(tier->PublisherId, settings.BranderCode, tier->TierCode, NewsTarget,
                                latestId, latestTitle, true))
        return std::nullopt;
    if (NewsIdNumber(latestId) <= NewsIdNumber(ReadLastNewsId(programFolder)))
        return std::nullopt;
    return QStringLiteral("You've Got A Message!\r\n") + ToScreen(latestTitle);
}
