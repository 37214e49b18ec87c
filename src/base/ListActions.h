#pragma once
// Commands of the keyword list's context menu that need nothing but the list:
// copying rows as spreadsheet text and removing repeated keywords.

#include <QByteArray>
#include <QString>
#include <vector>

class TKeywordList;
class IMessageBox;
class IStatusBar;

// The rows a copy takes: the selected ones in list order, or without a
// selection the checked ones (only those that show, when hidden is given);
// empty when there are neither.
std::vector<int> RowsToCopy(const TKeywordList &list, std::vector<int> selectedRows,
                            const std::vector<bool> *hidden = nullptr);

// Tab-separated text with the header line first and a line feed between
// lines. A field holding a tab, a line break or a double quote is put in
// double quotes with its inner quotes doubled, as spreadsheets read it.
QString CopyText(const TKeywordList &list, const std::vector<int> &rows);

// Two keywords are the same when they differ only in letter case and in
// runs of white space (leading and trailing included).
QString DuplicateKey(const QByteArray &keyword);

enum class TDuplicateRule {
    SameText,    // as DuplicateKey
    AnyWordOrder // also the same words in another order: "golf shoes" / "shoes golf"
};

// True for every row whose keyword an earlier row already has.
std::vector<bool> DuplicateRows(const TKeywordList &list,
                                TDuplicateRule rule = TDuplicateRule::SameText);

// Remove Duplicates: asks with the number of rows that will go, keeps the
// first row of each keyword, and sets the row-count text after OK and
// Cancel alike.
void RemoveDuplicates(TKeywordList &list, IMessageBox &msg, IStatusBar &status,
                      TDuplicateRule rule = TDuplicateRule::SameText);
