#include "stats/GatherData.h"

#include "base/CommandContext.h"
#include "base/FormEncode.h"
#include "base/HttpClient.h"
#include "base/KeywordList.h"
#include "base/PacedFetch.h"
#include "base/RunProgress.h"
#include "base/RunState.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <QScopeGuard>
#include <iterator>

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

namespace {

bool NeedsCount(TCountSource::Kind kind, int answeredType, bool textEmpty, int searchType)
{
    switch (kind) {
    case TCountSource::Kind::Failed:
        return true;
    case TCountSource::Kind::Count:
    case TCountSource::Kind::NoCount:
        // A page without a count is an answer too: its empty text is not a
        // gap to fill again with the same search type.
        return answeredType != searchType;
    case TCountSource::Kind::NeverAsked:
        // Empty: never asked. Text: a count reopened from a file, whose
        // search type is not known.
        break;
    }
    return textEmpty;
}

} // namespace

bool NeedsCount(const KeywordRow &row, TEngine engine, int searchType)
{
    const int column = EngineColumn(engine);
    const TCountSource &source = row.source(column);
    return NeedsCount(source.What, source.SearchType, row[column].isEmpty(), searchType);
}

bool NeedsCount(const TKeywordList &list, int row, TEngine engine, int searchType)
{
    const int column = EngineColumn(engine);
    return NeedsCount(list.sourceKind(row, column), list.sourceSearchType(row, column),
                      list.textView(row, column).isEmpty(), searchType);
}

int MissingCountRequests(const TKeywordList &list, int searchType)
{
    int requests = 0;
    for (int r = 0; r < list.count(); ++r)
        for (TEngine engine : AllEngines)
            requests += NeedsCount(list, r, engine, searchType) ? 1 : 0;
    return requests;
}

int NoCountCellsLeft(const TKeywordList &list, int searchType)
{
    int left = 0;
    for (int r = 0; r < list.count(); ++r)
        for (TEngine engine : AllEngines) {
            const int column = EngineColumn(engine);
            left += list.sourceKind(r, column) == TCountSource::Kind::NoCount &&
                            list.sourceSearchType(r, column) == searchType
                        ? 1
                        : 0;
        }
    return left;
}

QString MissingRunStatus(int noCountCells)
{
    if (noCountCells == 0)
        return {};
    return QStringLiteral("%1 %2 whose page showed no count %3 left as %4 %5.")
        .arg(noCountCells)
        .arg(noCountCells == 1 ? QStringLiteral("cell") : QStringLiteral("cells"),
             noCountCells == 1 ? QStringLiteral("was") : QStringLiteral("were"),
             noCountCells == 1 ? QStringLiteral("it") : QStringLiteral("they"),
             noCountCells == 1 ? QStringLiteral("was") : QStringLiteral("were"));
}

void GatherData(TCommandContext &ctx, int searchType, TGatherScope scope)
{
    // The list belongs to the window, which a nested event loop could close.
    QPointer<TKeywordList> list(&ctx.List);
    // The status text of a failed download is the reason the cell keeps.
    QString lastStatus;
    const QMetaObject::Connection statusWatch =
        QObject::connect(&ctx.Http, &THttpClient::statusText, &ctx.Http,
                         [&lastStatus](const QString &text) { lastStatus = text; });
    auto unwatch = qScopeGuard([&] { QObject::disconnect(statusWatch); });
    const int n = list->count();
    IRunProgress *progress = ctx.Progress;
    if (progress)
        progress->RunStarted(n, scope == TGatherScope::All
                                    ? n * int(std::size(AllEngines))
                                    : MissingCountRequests(*list, searchType));
    // The progress panel lives and dies with the list's window.
    auto ended = qScopeGuard([progress, &list] {
        if (progress && list)
            progress->RunEnded();
    });
    for (int i = 0; i < n; ++i) {
        if (ctx.Run.StopRequested)
            return;
        if (progress)
            progress->RowStarted(i);
        for (TEngine engine : AllEngines) {
            if (!list || i >= list->count())
                return;
            if (scope == TGatherScope::Missing && !NeedsCount(*list, i, engine, searchType))
                continue;
            const QByteArray address =
                QueryAddress(ctx.Urls, engine, list->text(i, KeywordRow::Keywords), searchType);
            QByteArray page;
            lastStatus.clear();
            QString refusal;
            const bool fetched =
                PacedFetchPage(ctx, address, page, TSecurityImage::Refusal, &refusal);
            if (!list || i >= list->count())
                return;
            if (progress && !ctx.Run.StopRequested)
                progress->QueryDone();
            if (fetched) {
                const QByteArray count = ResultRow(engine, page);
                list->setCount(i, EngineColumn(engine), count,
                               TCountSource::Answered(searchType, !count.isEmpty(),
                                                      QDateTime::currentDateTime()));
                QCoreApplication::processEvents();
            } else if (!ctx.Run.StopRequested) {
                // A stopped request is no answer either way: the cell keeps
                // what it knew. The tooltip names the cause the client found.
                if (!refusal.isEmpty())
                    lastStatus = refusal;
                const QString reason =
                    refusal.isEmpty() ? ctx.Http.LastResult().Reason : QString();
                list->setCountSource(i, EngineColumn(engine),
                                     TCountSource::NoAnswer(!reason.isEmpty() ? reason
                                                            : lastStatus.isEmpty()
                                                                ? QStringLiteral("no reply")
                                                                : lastStatus));
            }
            if (ctx.Run.StopRequested)
                return;
        }
    }
}
