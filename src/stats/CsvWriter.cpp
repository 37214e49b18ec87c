#include "stats/CsvWriter.h"

#include "base/CommandContext.h"
#include "base/KeywordList.h"
#include "base/MessageBox.h"
#include "base/Prompts.h"

#include <QIODevice>
#include <QSaveFile>

namespace {

void AppendField(QByteArray &line, QByteArrayView value)
{
    line += '"';
    if (value.contains('"')) {
        QByteArray doubled = value.toByteArray();
        line += doubled.replace("\"", "\"\"");
    } else {
        line += value;
    }
    line += "\",";
}

void EndLine(QByteArray &line)
{
    // The last field leaves a comma behind.
    line.chop(1);
    line += "\r\n";
}

} // namespace

QByteArray CsvText(const TKeywordList &list)
{
    QByteArray text;
    text.reserve(64 + qsizetype(list.count()) * 64);
    for (const char *header : TKeywordList::Headers)
        AppendField(text, header);
    EndLine(text);
    for (int r = 0; r < list.count(); ++r) {
        for (int c = 0; c < KeywordRow::ColumnCount; ++c)
            AppendField(text, list.textView(r, c));
        EndLine(text);
    }
    return text;
}

bool WriteCsv(QIODevice &device, const TKeywordList &list)
{
    const QByteArray text = CsvText(list);
    return device.write(text) == text.size();
}

bool SaveCsvFile(const QString &fileName, const TKeywordList &list)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // commit() flushes what is still buffered without noticing a failure, so
    // a short file would replace the old one: flush and check first.
    if (!WriteCsv(file, list) || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString CsvFileName(const QString &chosen)
{
    if (chosen.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return chosen;
    return chosen + QStringLiteral(".csv");
}

void SaveResults(TCommandContext &ctx, const QString &programFolder, QString &lastSavedFile)
{
    if (ctx.List.count() == 0) {
        ctx.Msg.Notice(QStringLiteral("You don't have any data to save."));
        return;
    }
    const QString chosen =
        ctx.Prompts.AskSaveFileName(lastSavedFile.isEmpty() ? programFolder : lastSavedFile);
    // A wildcard is a filter pattern, never a file name.
    if (chosen.isEmpty() || chosen.contains(QLatin1Char('*')))
        return;
    const QString fileName = CsvFileName(chosen);
    if (!SaveCsvFile(fileName, ctx.List)) {
        ctx.Msg.Failure(QStringLiteral("Unable to save the file."));
        return;
    }
    lastSavedFile = fileName;
}
