#include "stats/XlsxExport.h"

#include "base/KeywordList.h"
#include "base/ScreenText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <string>
#include <xlsxwriter.h>

namespace {

// Excel's limit for one cell's text.
constexpr qsizetype MaxCellChars = 32767;

QString ColumnHeader(int column)
{
    if (column == TKeywordViewModel::KeiColumn)
        return QStringLiteral("KEI");
    return QString::fromLatin1(TKeywordList::Headers[column]);
}

double ColumnWidth(int column)
{
    // Character widths near the list's pixel widths.
    if (column == TKeywordViewModel::KeiColumn)
        return 10;
    return column == KeywordRow::Keywords ? 40 : (column == KeywordRow::No ? 8 : 15);
}

// XML 1.0 has no place for most control characters; Excel writes them as
// _xHHHH_.
QByteArray CellText(const QString &screen)
{
    QString text = screen.left(MaxCellChars);
    bool control = false;
    for (QChar c : text)
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r'))
            control = true;
    if (control) {
        QString escaped;
        for (QChar c : text) {
            if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
                c != QLatin1Char('\r'))
                escaped += QStringLiteral("_x%1_").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                escaped += c;
        }
        text = escaped;
    }
    return text.toUtf8();
}

QString ErrorText(lxw_error e)
{
    return QString::fromLatin1(lxw_strerror(e));
}

} // namespace

QString XlsxFileName(const QString &chosen)
{
    if (chosen.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return chosen;
    return chosen + QStringLiteral(".xlsx");
}

bool WriteXlsx(const QString &fileName, const TKeywordList &list, const TXlsxExport &what,
               QString &error, const TXlsxProgress &progress)
{
    if (what.Rows.size() > size_t(XlsxMaxRows)) {
        error = QStringLiteral("A sheet holds at most %1 rows; %2 rows show.")
                    .arg(XlsxMaxRows)
                    .arg(what.Rows.size());
        return false;
    }
    // The workbook is made beside its final place and put there when whole.
    const QFileInfo target(fileName);
    const QString part =
        target.absoluteDir().filePath(QStringLiteral(".%1.part").arg(target.fileName()));
    QTemporaryDir scratch; // libxlsxwriter's row files in constant-memory mode
    const QByteArray partName = QFile::encodeName(part);
    const QByteArray scratchName = QFile::encodeName(scratch.path());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratch.isValid() ? const_cast<char *>(scratchName.constData()) : nullptr;
    options.use_zip64 = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(partName.constData(), &options);
    if (!book) {
        error = QStringLiteral("The file cannot be made.");
        return false;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(book, "Keywords");
    lxw_format *header = workbook_add_format(book);
    format_set_bold(header);
    format_set_bottom(header, LXW_BORDER_THIN);
    lxw_format *count = workbook_add_format(book);
    format_set_num_format(count, "#,##0");
    lxw_format *bands[3];
    for (int b = 0; b < 3; ++b) {
        bands[b] = workbook_add_format(book);
        format_set_pattern(bands[b], LXW_PATTERN_SOLID);
        format_set_bg_color(bands[b], lxw_color_t(what.BandColours[size_t(b)] & 0xFFFFFF));
    }

    const lxw_col_t columns = lxw_col_t(what.Columns.size());
    lxw_error failure = LXW_NO_ERROR;
    auto check = [&failure](lxw_error e) {
        if (e != LXW_NO_ERROR && failure == LXW_NO_ERROR)
            failure = e;
    };
    for (lxw_col_t c = 0; c < columns; ++c) {
        check(worksheet_set_column(sheet, c, c, ColumnWidth(what.Columns[c]), nullptr));
        check(worksheet_write_string(sheet, 0, c,
                                     ColumnHeader(what.Columns[c]).toUtf8().constData(), header));
    }
    worksheet_freeze_panes(sheet, 1, 0);
    if (columns > 0)
        check(worksheet_autofilter(sheet, 0, 0, lxw_row_t(what.Rows.size()), columns - 1));

    lxw_row_t out = 1;
    std::string cellText;
    for (int row : what.Rows) {
        for (lxw_col_t c = 0; c < columns; ++c) {
            const int column = what.Columns[c];
            if (column == TKeywordViewModel::KeiColumn) {
                const std::optional<double> kei = KeiValue(list, row, what.Kei.EngineColumn);
                if (!kei)
                    continue;
                // The value the screen shows: two decimals at most.
                const double shown = std::round(*kei * 100) / 100;
                const int band = int(KeiBand(*kei, what.Kei)) - int(TKeiBand::Poor);
                check(worksheet_write_number(sheet, out, c, shown, bands[band]));
                continue;
            }
            if (column != KeywordRow::Keywords) {
                if (const std::optional<qint64> n = list.number(row, column)) {
                    check(worksheet_write_number(sheet, out, c, double(*n),
                                                 column == KeywordRow::No ? nullptr : count));
                    continue;
                }
            }
            const QByteArrayView text = list.textView(row, column);
            if (text.isEmpty())
                continue;
            // Plain ASCII is already the UTF-8 the screen shows.
            bool plain = text.size() <= MaxCellChars;
            for (char ch : text) {
                const auto u = static_cast<unsigned char>(ch);
                if (u >= 0x80 || (u < 0x20 && ch != '\t' && ch != '\n' && ch != '\r')) {
                    plain = false;
                    break;
                }
            }
            if (plain) {
                cellText.assign(text.data(), size_t(text.size()));
                check(worksheet_write_string(sheet, out, c, cellText.c_str(), nullptr));
            } else {
                check(worksheet_write_string(sheet, out, c, CellText(ToScreen(text)).constData(),
                                             nullptr));
            }
        }
        ++out;
        if (progress && out % 20000 == 0)
            progress(int(out - 1), int(what.Rows.size()));
    }
    const lxw_error closed = workbook_close(book);
    if (failure == LXW_NO_ERROR)
        failure = closed;
    if (failure != LXW_NO_ERROR) {
        QFile::remove(part);
        error = ErrorText(failure);
        return false;
    }
    QFile::remove(fileName);
    if (!QFile::rename(part, fileName)) {
        QFile::remove(part);
        error = QStringLiteral("The file cannot be put in place.");
        return false;
    }
    return true;
}
