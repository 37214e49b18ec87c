#pragma once
// The HTML view of the welcome page and the news window: shows a whole HTML
// document given as bytes, fetches its http pictures through the program's
// own client (never waiting inside the document's resource loading), takes
// plain picture names from the program folder, and hands a clicked link to
// the user's browser while keeping its page.

#include <QByteArray>
#include <QTextBrowser>

class THttpClient;

class THtmlView : public QTextBrowser
{
    Q_OBJECT
public:
    THtmlView(THttpClient &http, const QString &programFolder, QWidget *parent = nullptr);

    // Replaces the whole document.
    void ShowDocument(const QByteArray &html);

private:
    THttpClient &m_http;
    QString m_programFolder;
};
