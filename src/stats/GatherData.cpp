#include "stats/GatherData.h"

#include "base/CommandContext.h"
#include "base/FormEncode.h"
#include "base/HttpClient.h"
#include "base/KeywordList.h"
#include "base/RunState.h"
#include "util/UUtils.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

// Spaces and control bytes; bytes from 0x80 up are text.
bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

QByteArray TrimBlanks(const QByteArray &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

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

QByteArray ResultRow(TEngine engine, const QByteArray &page)
{
    // Each cut goes on from where the one before left the scanned text: the
    // first Google and MSN cuts only move it up to the count's own marker.
    QByteArray scanned = page;
    switch (engine) {
    case TEngine::Google:
        CutBetween(scanned, "<font size=-1>Results", "of about <b>");
        return CutBetween(scanned, "of about <b>", "</b>");
    case TEngine::Yahoo:
        return CutBetween(scanned, "<strong id=\"resultCount\">", "</strong>");
    case TEngine::Msn:
        break;
    }
    CutBetween(scanned, "<span id=\"count\">", " of ");
    QByteArray count = CutBetween(scanned, " of ", "</span>");
    count.replace("results", QByteArray());
    return TrimBlanks(count);
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
