#include "keywords/SuggestionPage.h"

#include "base/KeywordList.h"
#include "base/StatusBar.h"
#include "util/UUtils.h"

namespace {
const QByteArray TableHeader = QByteArrayLiteral("<th colspan=\"2\" class=\"keyword\"");
} // namespace

void ParseSuggestionPage(const QByteArray &page, TKeywordList &list, IStatusBar &status)
{
    if (!page.contains(TableHeader))
        return;
    QByteArray scanned = page;
    CutBetween(scanned, TableHeader, ">");
    QByteArray phrase = HtmlToText(CutBetween(scanned, "<td class='k'>", "("));
    while (!phrase.isEmpty()) {
        // The searches run on past the row's end: a keyword cell without a
        // count of its own takes the next one in the page.
        const QByteArray count = HtmlToText(CutBetween(scanned, "<td class='s'>", "</td>"));
        list.addRow(phrase, count);
        status.SetRowCountText(ItemsListedText(list.count()));
        phrase = HtmlToText(CutBetween(scanned, "<td class='k'>", "("));
    }
}

TCaptchaFields ReadCaptchaPage(const QByteArray &page)
{
    // One scanned copy: each marker is searched only after the one before.
    QByteArray scanned = page;
    TCaptchaFields fields;
    fields.RandomValue =
        CutBetween(scanned, "<input type=\"hidden\" name=\"random\" value=\"", "\"");
    fields.SeedValue = CutBetween(scanned, "<input type=\"hidden\" name=\"seed\" value=\"", "\"");
    fields.ImageSrc = CutBetween(scanned, "src=\"", "\"");
    // One pass, not searched again: "&amp;amp;" keeps one "&amp;".
    fields.ImageSrc.replace("&amp;", "&");
    return fields;
}
