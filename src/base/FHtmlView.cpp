#include "base/FHtmlView.h"

#include "base/ScreenText.h"
#include "util/UUtils.h"

#include <QUrl>

THtmlView::THtmlView(THttpClient &http, const QString &programFolder, QWidget *parent)
    : QTextBrowser(parent), m_http(http), m_programFolder(programFolder)
{
    setReadOnly(true);
    // A click must not navigate the view away from its page.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this,
            [](const QUrl &url) { OpenURL(url.toEncoded()); });
}

void THtmlView::ShowDocument(const QByteArray &html)
{
    setHtml(ToScreen(html));
}
