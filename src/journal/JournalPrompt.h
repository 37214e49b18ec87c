#pragma once
// What the window says and asks about the journal: the restore question at
// start, the status after a restore, Reopen Last List.

#include "journal/JournalStore.h"

#include <QString>
#include <functional>

class TJournal;
class TKeywordList;
class IMessageBox;
class IStatusBar;

// "Restore the list of the last run (N keywords, last change <time>)?"
QString RestoreQuestion(const TJournalSummary &summary);

struct TRestoreOutcome
{
    bool Asked = false;
    bool Restored = false;
    // The last run stopped in the middle of gathering: its search type, and
    // how many counts Gather Missing Counts still has to fetch.
    bool Interrupted = false;
    int SearchType = -1;
    int Missing = 0;
};

// Asks when the last run left a list behind; Yes restores it, No keeps it
// as the backup. missingCounts(searchType) counts the requests left to make.
// Says in the status bar what became of it, and any trouble the journal had.
TRestoreOutcome OfferJournalRestore(TJournal &journal, TKeywordList &list, IMessageBox &msg,
                                    IStatusBar &status,
                                    const std::function<int(int)> &missingCounts);

// Brings back the list the last run closed with, as long as this run's list
// has not changed. False when there was nothing to bring back.
bool ReopenLastList(TJournal &journal, TKeywordList &list, IStatusBar &status);
