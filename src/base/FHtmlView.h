#pragma once
// The HTML view of the welcome page and the news window: shows a whole HTML
// document given as bytes, fetches its http pictures through the program's
// own client (never waiting inside the document's resource loading), takes
// plain picture names from the program folder, and hands a clicked link to
// the user's browser while keeping its page.

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QTextBrowser>
#include <QUrl>

class THttpClient;

class THtmlView : public QTextBrowser
{
    Q_OBJECT
public:
    THtmlView(THttpClient &http, const QString &programFolder, QWidget *parent = nullptr);

    // Replaces the whole document.
    void ShowDocument(const QByteArray &html);

    // Pictures still on their way (tests wait for them).
    int PendingPictures() const { return int(m_pending.size()); }

signals:
    // A fetched picture has been put into the document.
    void pictureArrived(const QUrl &url);

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    void StartFetch(const QUrl &url);
    void FetchDone(const QUrl &url, const QByteArray &body, bool ok);

    THttpClient &m_http;
    QString m_programFolder;
    // Kept across documents: the news window shows one item after another.
    QHash<QUrl, QImage> m_pictures;
    QSet<QUrl> m_failed;
    QSet<QUrl> m_pending;
};
