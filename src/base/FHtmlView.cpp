#include "base/FHtmlView.h"

#include "base/HttpClient.h"
#include "base/ScreenText.h"
#include "util/UUtils.h"

#include <QDir>
#include <QFile>
#include <QTextDocument>

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

QVariant THtmlView::loadResource(int type, const QUrl &name)
{
    if (type != QTextDocument::ImageResource)
        return {};
    const QString scheme = name.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        // The document asks again on every relayout; answer from memory and
        // never ask the network twice for the same picture.
        const auto found = m_pictures.constFind(name);
        if (found != m_pictures.constEnd())
            return *found;
        if (!m_failed.contains(name) && !m_pending.contains(name))
            StartFetch(name);
        return {};
    }
    if (!scheme.isEmpty() && scheme != QLatin1String("file"))
        return {};
    // A plain name is a file beside the program.
    const QString path = name.isLocalFile() ? name.toLocalFile() : name.path();
    if (path.isEmpty())
        return {};
    QImage picture;
    const QString full = QDir::isAbsolutePath(path) ? path : m_programFolder + path;
    if (!picture.load(full))
        return {};
    return picture;
}

void THtmlView::StartFetch(const QUrl &url)
{
    m_pending.insert(url);
    // Pictures follow redirects on their own; nothing waits for them. The
    // view is the context: closing the window cancels what is still running.
    m_http.GetAsync(
        url.toEncoded(), "image/*, */*", this,
        [this, url](const THttpClient::Result &result) { FetchDone(url, result.Body, result.Ok); });
}

void THtmlView::FetchDone(const QUrl &url, const QByteArray &body, bool ok)
{
    m_pending.remove(url);
    QImage picture;
    if (!ok || !picture.loadFromData(body)) {
        m_failed.insert(url);
        return;
    }
    m_pictures.insert(url, picture);
    QTextDocument *doc = document();
    doc->addResource(QTextDocument::ImageResource, url, picture);
    // Lay the page out again so the picture gets its own size.
    doc->markContentsDirty(0, doc->characterCount());
    viewport()->update();
    emit pictureArrived(url);
}
