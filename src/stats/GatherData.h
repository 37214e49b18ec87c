#pragma once
// Gather Data: asks Google, Yahoo and MSN how many results they report for
// every keyword of the list and writes the counts into the row.

#include "base/Endpoints.h"
#include "stats/EnginePages.h"

#include <QByteArray>
#include <QString>

struct TCommandContext;
struct KeywordRow;
class TKeywordList;

// 0 = precise: the keyword goes out as a quoted phrase; 1 = broad.
QByteArray QuoteText(int searchType);

// Base address + the engine's path and key + quote + keyword + quote. The
// keyword is encoded as a form value ("golf clubs" -> "golf+clubs").
QByteArray QueryAddress(const Endpoints &urls, TEngine engine, const QByteArray &keyword,
                        int searchType);

// The list column an engine's count goes to.
int EngineColumn(TEngine engine);

// All: every cell is asked. Missing: only the cells without a count of this
// search type: empty, failed, or answered with the other search type.
enum class TGatherScope { All, Missing };

// A cell whose page showed no count for this search type was answered:
// it is not missing.
bool NeedsCount(const KeywordRow &row, TEngine engine, int searchType);
bool NeedsCount(const TKeywordList &list, int row, TEngine engine, int searchType);
// The number of requests a Missing run makes.
int MissingCountRequests(const TKeywordList &list, int searchType);
// The cells a Missing run leaves alone because their page showed no count.
int NoCountCellsLeft(const TKeywordList &list, int searchType);
// The closing words of a Missing run about those cells; empty for none.
QString MissingRunStatus(int noCountCells);

// The gathering loop: every row, in list order and whatever its check mark,
// each engine in turn (with Missing, only the cells that need it). A failed
// download leaves that column's text as it was and marks the cell failed.
// Every cell written or failed records where its text came from. Ends early
// on StopRequested and when its row is gone.
void GatherData(TCommandContext &ctx, int searchType, TGatherScope scope = TGatherScope::All);
