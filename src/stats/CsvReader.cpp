#include "stats/CsvReader.h"

#include "base/MessageBox.h"
#include "base/StatusBar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QByteArray CsvHeader = "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n";

// One quoted field from pos; leaves pos after the closing quote.
bool ReadField(const QByteArray &data, qsizetype &pos, QByteArray &field)
{
    const qsizetype size = data.size();
    if (pos >= size || data[pos] != '"')
        return false;
    ++pos;
    field.clear();
    while (pos < size) {
        const qsizetype quote = data.indexOf('"', pos);
        if (quote < 0)
            return false;
        field.append(data.constData() + pos, quote - pos);
        pos = quote + 1;
        if (pos < size && data[pos] == '"') {
            field += '"';
            ++pos;
            continue;
        }
        return true;
    }
    return false;
}

enum class Kind { Results, Keywords, Foreign, NotText, Unreadable };

struct TOpened
{
    QString Path;
    Kind What = Kind::Foreign;
    std::vector<KeywordRow> Rows;
};

TOpened Examine(const QString &path)
{
    TOpened opened{path, Kind::Unreadable, {}};
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return opened;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return opened;
    if (StartsWithCsvHeader(data)) {
        TCsvRead read = ReadCsv(data);
        opened.What = read.Result == TCsvRead::Status::Ok ? Kind::Results : Kind::Foreign;
        opened.Rows = std::move(read.Rows);
    } else if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        opened.What = Kind::Foreign;
    } else {
        opened.What = LooksLikeText(data) ? Kind::Keywords : Kind::NotText;
    }
    return opened;
}

QString RefusalText(const TOpened &opened)
{
    const QString name = QDir::toNativeSeparators(opened.Path);
    switch (opened.What) {
    case Kind::Foreign:
        return QStringLiteral("The file \"%1\" is not a results file saved by this program, so "
                              "nothing was added.")
            .arg(name);
    case Kind::NotText:
        return QStringLiteral("The file \"%1\" is neither a keyword list nor a results file "
                              "saved by this program, so nothing was added.")
            .arg(name);
    case Kind::Unreadable:
        return QStringLiteral("The file \"%1\" cannot be read, so nothing was added.").arg(name);
    case Kind::Results:
    case Kind::Keywords:
        break;
    }
    return {};
}

} // namespace

bool StartsWithCsvHeader(const QByteArray &data)
{
    return data.startsWith(CsvHeader);
}

TCsvRead ReadCsv(const QByteArray &data)
{
    TCsvRead read;
    if (!StartsWithCsvHeader(data))
        return read;
    read.Result = TCsvRead::Status::Damaged;
    const qsizetype size = data.size();
    qsizetype pos = CsvHeader.size();
    std::vector<KeywordRow> rows;
    // About 40 bytes a row in a gathered list.
    rows.reserve(static_cast<size_t>(size / 40 + 1));
    while (pos < size) {
        KeywordRow row;
        for (int c = 0; c < KeywordRow::ColumnCount; ++c) {
            if (!ReadField(data, pos, row[c]))
                return read;
            const char expected = c + 1 < KeywordRow::ColumnCount ? ',' : '\r';
            if (pos >= size || data[pos] != expected)
                return read;
            ++pos;
        }
        if (pos >= size || data[pos] != '\n')
            return read;
        ++pos;
        rows.push_back(std::move(row));
    }
    read.Result = TCsvRead::Status::Ok;
    read.Rows = std::move(rows);
    return read;
}

bool LooksLikeText(const QByteArray &data)
{
    // DOS editors end a text file with an end-of-file byte; Add Keywords
    // takes such a file, so a drop does too.
    const QByteArrayView text =
        data.endsWith('\x1a') ? QByteArrayView(data).chopped(1) : QByteArrayView(data);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r')
            return false;
        if (c == 0x7F)
            return false;
    }
    return true;
}

void OpenResultFiles(const QStringList &paths, TKeywordList &list, IMessageBox &msg,
                     IStatusBar &status, const std::function<void(const QString &)> &addKeywordFile)
{
    // Every file is looked at before any of them is taken, so that a refusal
    // leaves the list as it was.
    std::vector<TOpened> files;
    for (const QString &path : paths) {
        files.push_back(Examine(path));
        if (files.back().What != Kind::Results && files.back().What != Kind::Keywords) {
            msg.Notice(RefusalText(files.back()));
            return;
        }
    }
    bool resultsAdded = false;
    for (TOpened &opened : files) {
        if (opened.What == Kind::Keywords) {
            addKeywordFile(opened.Path);
            resultsAdded = false;
        } else {
            list.appendRows(std::move(opened.Rows));
            resultsAdded = true;
        }
    }
    // A keyword file ends with its own "Total: " text.
    if (resultsAdded)
        status.SetRowCountText(ItemsListedText(list.count()));
}
