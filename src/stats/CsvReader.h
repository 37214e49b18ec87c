#pragma once
// Reopening saved results: reads back exactly the files Save Results writes
// (every field quoted, inner quotes doubled, CR LF after every line), and the
// command that takes dropped or opened files into the list.

#include "base/KeywordList.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class IMessageBox;
class IStatusBar;

struct TCsvRead
{
    enum class Status {
        Ok,
        NotOurs, // the first line is not the header this program writes
        Damaged, // the header is ours, a later line is not
    };
    Status Result = Status::NotOurs;
    std::vector<KeywordRow> Rows; // with the six texts as saved, unchecked
};

// True when data starts with the header line Save Results writes.
bool StartsWithCsvHeader(const QByteArray &data);
TCsvRead ReadCsv(const QByteArray &data);

// True for bytes that can be a keyword text file: no zero byte and no
// control byte other than tab, line feed, form feed and carriage return; a
// DOS end-of-file byte (0x1A) may end it.
bool LooksLikeText(const QByteArray &data);

// Takes files into the list: a saved results file appends its rows as saved,
// a text file goes to addKeywordFile (the Add Keywords import). When any of
// the files is neither, a notice names it and the list stays as it was.
void OpenResultFiles(const QStringList &paths, TKeywordList &list, IMessageBox &msg,
                     IStatusBar &status,
                     const std::function<void(const QString &)> &addKeywordFile);
