#include "keywords/GatherKeywords.h"

#include "base/CommandContext.h"
#include "base/FormEncode.h"
#include "base/HttpClient.h"
#include "base/KeywordList.h"
#include "base/MessageBox.h"
#include "base/PacedFetch.h"
#include "base/Prompts.h"
#include "base/RunState.h"

namespace {

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
    if (!PacedFetchPage(ctx,
                        ctx.Urls.Suggest + "/?seed=" + FormEncode(mainKeyword) +
                            "&adult_filter=remove_offensive&suggest=Hit+Me",
                        page, TSecurityImage::Expected))
        return;

    while (IsChallenge(page)) {
        const std::optional<CaptchaAnswer> answer = ctx.Prompts.AskCaptcha(page);
        if (!answer)
            return;
        // A failed fetch leaves an empty page, which lists nothing.
        PacedFetchPage(ctx,
                       ctx.Urls.Suggest +
                           "/keyword-suggestion-tool.html?password=" + FormEncode(answer->Answer) +
                           "&random=" + FormEncode(answer->RandomValue) +
                           "&seed=" + FormEncode(answer->SeedValue),
                       page, TSecurityImage::Expected);
        if (IsChallenge(page) &&
            !ctx.Msg.Confirm(QStringLiteral("Wrong password. Do you want try again?")))
            return;
    }
    ParseSuggestionPage(page, ctx.List, ctx.Status);
}
