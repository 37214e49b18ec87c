#include "keywords/GatherKeywords.h"

#include "base/CommandContext.h"
#include "base/FormEncode.h"
#include "base/HttpClient.h"
#include "base/KeywordList.h"
#include "base/MessageBox.h"
#include "base/Prompts.h"
#include "base/RunState.h"
#include "base/StatusBar.h"
#include "util/UUtils.h"

namespace {

const QByteArray TableHeader = QByteArrayLiteral("<th colspan=\"2\" class=\"keyword\"");

bool IsChallenge(const QByteArray &page)
{
    return page.contains(ChallengeText);
}

} // namespace

void GatherKeywords(TCommandContext &ctx, const QByteArray &mainKeyword)
{
    TBusyGuard busy(ctx.Run);
    if (!busy)
        return;
    ctx.Run.StopRequested = false;
    if (mainKeyword.isEmpty()) {
        ctx.Msg.Notice(QStringLiteral("Please enter a main keyword before gather keywords."));
        return;
    }

    QByteArray page;
    if (!ctx.Http.FetchPage(ctx.Urls.Suggest + "/?seed=" + FormEncode(mainKeyword) +
                                "&adult_filter=remove_offensive&suggest=Hit+Me",
                            page))
        return;

    while (IsChallenge(page)) {
        const std::optional<CaptchaAnswer> answer = ctx.Prompts.AskCaptcha(page);
        if (!answer)
            return;
        // A failed fetch leaves an empty page, which lists nothing.
        ctx.Http.FetchPage(ctx.Urls.Suggest + "/keyword-suggestion-tool.html?password=" +
                               FormEncode(answer->Answer) +
                               "&random=" + FormEncode(answer->RandomValue) +
                               "&seed=" + FormEncode(answer->SeedValue),
                           page);
        if (IsChallenge(page) &&
            !ctx.Msg.Confirm(QStringLiteral("Wrong password. Do you want try again?")))
            return;
    }
    ParseSuggestionPage(page, ctx.List, ctx.Status);
}

void ParseSuggestionPage(const QByteArray &page, TKeywordList &list, IStatusBar &status)
{
    if (!page.contains(TableHeader))
        return;
    QByteArray scanned = page;
    CutBetween(scanned, TableHeader, ">");
    QByteArray phrase = HtmlToText(CutBetween(scanned, "<td class='k'>", "("));
    while (!phrase.isEmpty()) {
        // The searches run on past the row's end: a keyword cell without a
        // count of its own takes the next one in the page.
        const QByteArray count = HtmlToText(CutBetween(scanned, "<td class='s'>", "</td>"));
        list.addRow(phrase, count);
        status.SetRowCountText(ItemsListedText(list.count()));
        phrase = HtmlToText(CutBetween(scanned, "<td class='k'>", "("));
    }
}
