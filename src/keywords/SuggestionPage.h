#pragma once
// Reading the suggestion service's pages: the suggestions of a result page and
// the hidden values and picture address of a security image page. Nothing
// here touches the network or a window, so the rules can be tried on any
// bytes.

#include <QByteArray>

class TKeywordList;
class IStatusBar;

// Appends one row per suggestion of a result page, numbered on from the rows
// already listed, and updates the row-count text after each.
void ParseSuggestionPage(const QByteArray &page, TKeywordList &list, IStatusBar &status);

// What the security image page holds for the answer that goes back.
struct TCaptchaFields
{
    QByteArray RandomValue;
    QByteArray SeedValue;
    QByteArray ImageSrc; // "&amp;" unfolded once
};

TCaptchaFields ReadCaptchaPage(const QByteArray &page);
