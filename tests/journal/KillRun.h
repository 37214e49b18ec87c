#pragma once
// What the killed child and the test that checks its journal agree on: the
// keywords of a run and what happens to the list before Gather Data starts.

#include "base/Endpoints.h"
#include "base/KeywordList.h"

#include <QList>

inline QList<QByteArray> KillRunKeywords(int count)
{
    static const char *const words[] = {"clubs", "balls", "tees", "carts", "bags", "gloves"};
    QList<QByteArray> out;
    for (int i = 0; i < count; ++i) {
        QByteArray k = "golf " + QByteArray(words[i % 6]) + ' ' + QByteArray::number(i);
        if (i % 5 == 0)
            k += " caf\xe9"; // a byte of the 8-bit range
        out.append(k);
    }
    return out;
}

// Check marks and a sort, so that a restore has an order and marks to keep.
inline void PrepareKillRunList(TKeywordList &list, int count)
{
    list.appendKeywords(KillRunKeywords(count), 1);
    for (int i = 0; i < count; i += 3)
        list.setChecked(i, true);
    list.sortByColumn(KeywordRow::Keywords, false);
}

inline Endpoints KillRunEndpoints(const QByteArray &base)
{
    return {base + "/wt", base + "/google", base + "/yahoo", base + "/msn",
            base + "/liveupdate/tarnwick/"};
}
