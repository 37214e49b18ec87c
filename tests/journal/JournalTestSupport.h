#pragma once
// Shared by the journal tests: comparing two lists field by field, and a
// list with every kind of content a journal must carry.

#include "base/KeywordList.h"

#include <QTest>

// Every field of every row, in order; the row's number names the failure.
inline bool SameRows(const TKeywordList &a, const TKeywordList &b, QString *why)
{
    auto fail = [&](int row, const QString &what) {
        *why = QStringLiteral("row %1: %2").arg(row).arg(what);
        return false;
    };
    if (a.count() != b.count()) {
        *why = QStringLiteral("%1 rows against %2").arg(a.count()).arg(b.count());
        return false;
    }
    for (int r = 0; r < a.count(); ++r) {
        for (int c = 0; c < KeywordRow::ColumnCount; ++c)
            if (a.text(r, c) != b.text(r, c))
                return fail(r, QStringLiteral("column %1 '%2' against '%3'")
                                   .arg(c)
                                   .arg(QString::fromLatin1(a.text(r, c).toHex()),
                                        QString::fromLatin1(b.text(r, c).toHex())));
        if (a.isChecked(r) != b.isChecked(r))
            return fail(r, QStringLiteral("check mark"));
        for (int e = KeywordRow::Google; e <= KeywordRow::Msn; ++e) {
            const TCountSource &x = a.source(r, e), &y = b.source(r, e);
            if (x.What != y.What || x.SearchType != y.SearchType || x.When != y.When ||
                x.When.isValid() != y.When.isValid() || x.Reason != y.Reason)
                return fail(r, QStringLiteral("source of column %1: '%2' against '%3'")
                                   .arg(e)
                                   .arg(CountSourceText(x), CountSourceText(y)));
        }
    }
    return true;
}

#define COMPARE_ROWS(a, b)                                                                         \
    do {                                                                                           \
        QString why_;                                                                              \
        QVERIFY2(SameRows(a, b, &why_), qPrintable(why_));                                         \
    } while (false)
