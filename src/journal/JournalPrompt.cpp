#include "journal/JournalPrompt.h"

#include "base/KeywordList.h"
#include "base/MessageBox.h"
#include "base/StatusBar.h"
#include "journal/Journal.h"

QString RestoreQuestion(const TJournalSummary &summary)
{
    return QStringLiteral("Restore the list of the last run (%1 keywords, last change %2)?")
        .arg(summary.Rows)
        .arg(summary.LastChange.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

TRestoreOutcome OfferJournalRestore(TJournal &journal, TKeywordList &list, IMessageBox &msg,
                                    IStatusBar &status,
                                    const std::function<int(int)> &missingCounts)
{
    TRestoreOutcome outcome;
    const std::optional<TJournalSummary> pending = journal.pendingRestore();
    if (pending) {
        outcome.Asked = true;
        if (msg.Ask(RestoreQuestion(*pending))) {
            const std::optional<TJournal::Restored> restored = journal.restore();
            if (restored) {
                outcome.Restored = true;
                status.SetRowCountText(ItemsListedText(list.count()));
                if (restored->From.RunActive && restored->From.RunSearchType >= 0) {
                    outcome.Interrupted = true;
                    outcome.SearchType = restored->From.RunSearchType;
                    outcome.Missing = missingCounts ? missingCounts(outcome.SearchType) : 0;
                    status.SetMainStatus(
                        QStringLiteral("The list of the last run is back; %1 counts are "
                                       "missing: Gather Missing Counts finishes them.")
                            .arg(outcome.Missing));
                } else {
                    status.SetMainStatus(QStringLiteral("The list of the last run is back."));
                }
            }
        } else {
            journal.decline();
        }
    }
    // Trouble outweighs a success message: say it last.
    if (!journal.notice().isEmpty())
        status.SetMainStatus(journal.notice());
    return outcome;
}

bool ReopenLastList(TJournal &journal, TKeywordList &list, IStatusBar &status)
{
    const std::optional<TJournal::Restored> restored = journal.reopenLast();
    if (!restored) {
        if (!journal.notice().isEmpty())
            status.SetMainStatus(journal.notice());
        return false;
    }
    status.SetRowCountText(ItemsListedText(list.count()));
    status.SetMainStatus(QStringLiteral("The list of the last run is back."));
    return true;
}
