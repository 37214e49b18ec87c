#pragma once
// Save Results: the keyword list as a CSV file. Every field is quoted, a
// quote inside a value is doubled, lines end with CR LF, the list's bytes go
// out unchanged (no byte-order mark).

#include <QByteArray>
#include <QString>

class QIODevice;
class TKeywordList;
struct TCommandContext;

// The header line and one line per row, in the list's current order.
QByteArray CsvText(const TKeywordList &list);
bool WriteCsv(QIODevice &device, const TKeywordList &list);

// Writes the whole file or nothing: an existing file stays intact on failure.
bool SaveCsvFile(const QString &fileName, const TKeywordList &list);

// The name a chosen file is saved under: ".csv" is appended unless the name
// already ends with it (in any case).
QString CsvFileName(const QString &chosen);

// The Save Results command. The dialog starts in programFolder, later at
// lastSavedFile, which a successful save updates.
void SaveResults(TCommandContext &ctx, const QString &programFolder, QString &lastSavedFile);
