#include "base/ListActions.h"

#include "base/KeywordList.h"
#include "base/MessageBox.h"
#include "base/ScreenText.h"
#include "base/StatusBar.h"

#include <algorithm>
#include <string>
#include <string_view>

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

std::vector<int> RowsToCopy(const TKeywordList &list, std::vector<int> selectedRows,
                            const std::vector<bool> *hidden)
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
        if (list.isChecked(r) && !(hidden && size_t(r) < hidden->size() && (*hidden)[size_t(r)]))
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
        for (int c = 0; c < KeywordRow::ColumnCount; ++c) {
            if (c > 0)
                text += QLatin1Char('\t');
            AppendCopyField(text, ToScreen(list.textView(r, c)));
        }
    }
    return text;
}

QString DuplicateKey(const QByteArray &keyword)
{
    return ToScreen(keyword).simplified().toCaseFolded();
}

namespace {

bool IsAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// DuplicateKey as UTF-8, with a fast path for ASCII keywords; with
// AnyWordOrder its words are sorted.
void AppendDuplicateKey(std::string &keys, QByteArrayView keyword, TDuplicateRule rule)
{
    const size_t start = keys.size();
    bool ascii = true;
    for (char c : keyword)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        bool gap = false;
        for (char c : keyword) {
            if (IsAsciiSpace(c)) {
                gap = keys.size() > start;
                continue;
            }
            if (gap)
                keys.push_back(' ');
            gap = false;
            keys.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
        }
    } else {
        const QByteArray key = ToScreen(keyword).simplified().toCaseFolded().toUtf8();
        keys.append(key.constData(), size_t(key.size()));
    }
    if (rule != TDuplicateRule::AnyWordOrder)
        return;
    std::vector<std::string_view> words;
    const std::string_view all(keys.data() + start, keys.size() - start);
    size_t from = 0;
    while (from <= all.size()) {
        size_t to = all.find(' ', from);
        if (to == std::string_view::npos)
            to = all.size();
        words.push_back(all.substr(from, to - from));
        from = to + 1;
    }
    if (words.size() < 2)
        return;
    std::sort(words.begin(), words.end());
    std::string sorted;
    sorted.reserve(all.size());
    for (size_t i = 0; i < words.size(); ++i) {
        if (i)
            sorted.push_back(' ');
        sorted.append(words[i]);
    }
    keys.replace(start, std::string::npos, sorted);
}

} // namespace

std::vector<bool> DuplicateRows(const TKeywordList &list, TDuplicateRule rule)
{
    // Keys in one block; rows sorted by the keys' hashes, so that only rows
    // with equal hashes are compared, and the first row of each key stays.
    const size_t n = size_t(list.count());
    std::vector<bool> duplicate(n, false);
    std::string keys;
    std::vector<quint32> start(n + 1);
    struct Hashed
    {
        size_t Hash;
        quint32 Row;
    };
    std::vector<Hashed> hashed(n);
    for (size_t r = 0; r < n; ++r) {
        start[r] = quint32(keys.size());
        AppendDuplicateKey(keys, list.textView(int(r), KeywordRow::Keywords), rule);
    }
    start[n] = quint32(keys.size());
    auto key = [&](quint32 r) {
        return std::string_view(keys.data() + start[r], start[r + 1] - start[r]);
    };
    for (size_t r = 0; r < n; ++r)
        hashed[r] = {std::hash<std::string_view>()(key(quint32(r))), quint32(r)};
    std::sort(hashed.begin(), hashed.end(), [](const Hashed &a, const Hashed &b) {
        return a.Hash != b.Hash ? a.Hash < b.Hash : a.Row < b.Row;
    });
    for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        while (j < n && hashed[j].Hash == hashed[i].Hash)
            ++j;
        // Within a run of equal hashes, a row repeats the first earlier
        // row with the same key (different keys can share a hash).
        for (size_t a = i; a < j; ++a) {
            if (duplicate[hashed[a].Row])
                continue;
            for (size_t b = a + 1; b < j; ++b)
                if (!duplicate[hashed[b].Row] && key(hashed[a].Row) == key(hashed[b].Row))
                    duplicate[hashed[b].Row] = true;
        }
        i = j;
    }
    return duplicate;
}

void RemoveDuplicates(TKeywordList &list, IMessageBox &msg, IStatusBar &status, TDuplicateRule rule)
{
    const std::vector<bool> duplicate = DuplicateRows(list, rule);
    const auto going = std::count(duplicate.begin(), duplicate.end(), true);
    if (going == 0) {
        msg.Notice(QStringLiteral("There are no duplicate keywords in the list."));
    } else if (msg.Confirm(
                   (rule == TDuplicateRule::AnyWordOrder
                        ? QStringLiteral("%1 of the %2 rows repeat the words of an earlier row, "
                                         "in the same or another order, and will be removed; the "
                                         "first row of each stays. Do you want to remove them?")
                        : QStringLiteral("%1 of the %2 rows repeat a keyword of an earlier row "
                                         "and will be removed; the first row of each keyword "
                                         "stays. Do you want to remove them?"))
                       .arg(going)
                       .arg(list.count()))) {
        list.removeMarkedRows(duplicate);
    }
    status.SetRowCountText(ItemsListedText(list.count()));
}
