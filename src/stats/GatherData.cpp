#include "stats/GatherData.h"

#include "base/CommandContext.h"
#include "base/FormEncode.h"
#include "base/HttpClient.h"
#include "base/KeywordList.h"
#include "base/RunState.h"

#include <QCoreApplication>
#include <QPointer>

QByteArray QuoteText(int searchType)
{
    return searchType == 0 ? QByteArrayLiteral("%22") : QByteArray();
}

int EngineColumn(TEngine engine)
{
    switch (engine) {
    case TEngine::Google:
        return KeywordRow::Google;
    case TEngine::Yahoo:
        return KeywordRow::Yahoo;
    case TEngine::Msn:
        break;
    }
    return KeywordRow::Msn;
}

QByteArray QueryAddress(const Endpoints &urls, TEngine engine, const QByteArray &keyword,
                        int searchType)
{
    QByteArray address;
    switch (engine) {
    case TEngine::Google:
        address = urls.Google + "/search?q=";
        break;
    case TEngine::Yahoo:
        address = urls.Yahoo + "/search?p=";
        break;
    case TEngine::Msn:
        address = urls.Msn + "/results.aspx?q=";
        break;
    }
    const QByteArray quote = QuoteText(searchType);
    return address + quote + FormEncode(keyword) + quote;
}

void GatherData(TCommandContext &ctx, int searchType)
{
    // The list belongs to the window, which a nested event loop could close.
    QPointer<TKeywordList> list(&ctx.List);
    const int n = list->count();
    for (int i = 0; i < n; ++i) {
        if (ctx.Run.StopRequested)
            return;
        for (TEngine engine : AllEngines) {
            if (!list || i >= list->count())
                return;
            const QByteArray address =
                QueryAddress(ctx.Urls, engine, list->row(i)[KeywordRow::Keywords], searchType);
            QByteArray page;
            if (ctx.Http.FetchPage(address, page)) {
                if (!list || i >= list->count())
                    return;
                list->setText(i, EngineColumn(engine), ResultRow(engine, page));
                QCoreApplication::processEvents();
            }
            if (ctx.Run.StopRequested)
                return;
        }
    }
}
