#include "base/ListActions.h"

#include "base/KeywordList.h"
#include "base/MessageBox.h"
#include "base/ScreenText.h"
#include "base/StatusBar.h"

#include <QSet>
#include <algorithm>

namespace {

void AppendCopyField(QString &text, const QString &value)
{
    const bool quoted = value.contains(QLatin1Char('\t')) || value.contains(QLatin1Char('\n')) ||
                        value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('"'));
    if (!quoted) {
        text += value;
        return;
    }
    text += QLatin1Char('"');
    QString doubled = value;
    text += doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    text += QLatin1Char('"');
}

} // namespace

std::vector<int> RowsToCopy(const TKeywordList &list, std::vector<int> selectedRows)
{
    selectedRows.erase(std::remove_if(selectedRows.begin(), selectedRows.end(),
                                      [&](int r) { return r < 0 || r >= list.count(); }),
                       selectedRows.end());
    std::sort(selectedRows.begin(), selectedRows.end());
    selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
    if (!selectedRows.empty())
        return selectedRows;
    std::vector<int> checked;
    for (int r = 0; r < list.count(); ++r)
        if (list.row(r).Checked)
            checked.push_back(r);
    return checked;
}

QString CopyText(const TKeywordList &list, const std::vector<int> &rows)
{
    QString text;
    text.reserve(64 + qsizetype(rows.size()) * 48);
    for (int c = 0; c < KeywordRow::ColumnCount; ++c) {
        if (c > 0)
            text += QLatin1Char('\t');
        text += QLatin1String(TKeywordList::Headers[c]);
    }
    for (int r : rows) {
        text += QLatin1Char('\n');
        const KeywordRow &row = list.row(r);
        for (int c = 0; c < KeywordRow::ColumnCount; ++c) {
            if (c > 0)
                text += QLatin1Char('\t');
            AppendCopyField(text, ToScreen(row[c]));
        }
    }
    return text;
}

QString DuplicateKey(const QByteArray &keyword)
{
    return ToScreen(keyword).simplified().toCaseFolded();
}

std::vector<bool> DuplicateRows(const TKeywordList &list)
{
    std::vector<bool> duplicate(static_cast<size_t>(list.count()), false);
    QSet<QString> seen;
    seen.reserve(list.count());
    for (int r = 0; r < list.count(); ++r) {
        const QString key = DuplicateKey(list.row(r)[KeywordRow::Keywords]);
        const qsizetype before = seen.size();
        seen.insert(key);
        duplicate[static_cast<size_t>(r)] = seen.size() == before;
    }
    return duplicate;
}

void RemoveDuplicates(TKeywordList &list, IMessageBox &msg, IStatusBar &status)
{
    const std::vector<bool> duplicate = DuplicateRows(list);
    const auto going = std::count(duplicate.begin(), duplicate.end(), true);
    if (going == 0) {
        msg.Notice(QStringLiteral("There are no duplicate keywords in the list."));
    } else if (msg.Confirm(
                   QStringLiteral("%1 of the %2 rows repeat a keyword of an earlier row and will "
                                  "be removed; the first row of each keyword stays. Do you want "
                                  "to remove them?")
                       .arg(going)
                       .arg(list.count()))) {
        list.removeMarkedRows(duplicate);
    }
    status.SetRowCountText(ItemsListedText(list.count()));
}
