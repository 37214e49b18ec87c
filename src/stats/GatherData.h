#pragma once
// Gather Data: asks Google, Yahoo and MSN how many results they report for
// every keyword of the list and writes the counts into the row.

#include "base/Endpoints.h"
#include "stats/EnginePages.h"

#include <QByteArray>

struct TCommandContext;

// 0 = precise: the keyword goes out as a quoted phrase; 1 = broad.
QByteArray QuoteText(int searchType);

// Base address + the engine's path and key + quote + keyword + quote. The
// keyword is encoded as a form value ("golf clubs" -> "golf+clubs").
QByteArray QueryAddress(const Endpoints &urls, TEngine engine, const QByteArray &keyword,
                        int searchType);

// The list column an engine's count goes to.
int EngineColumn(TEngine engine);

// The gathering loop: every row, in list order and whatever its check mark,
// each engine in turn. A failed download leaves that column as it was. Ends
// early on StopRequested and when its row is gone.
void GatherData(TCommandContext &ctx, int searchType);
