// The HTML view against the emulator: pictures come over the network without
// blocking the layout, a broken picture is asked for once, pictures beside the
// program are shown, and a clicked link goes to the browser while the page
// stays.

#include "Sandbox.h"
#include "base/FHtmlView.h"
#include "base/HttpClient.h"
#include "base/RunState.h"
#include "support/BrowserRecorder.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <memory>

namespace {

QByteArray bytes(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

// Pixels of exactly this colour in the view's picture.
int countColour(QWidget &w, QRgb colour)
{
    const QImage img = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
    return n;
}

} // namespace

class TestHtmlView : public QObject
{
    Q_OBJECT

    sandbox::Sandbox server;
    QTemporaryDir folder;
    TRunState state;
    std::unique_ptr<THttpClient> http;
    std::unique_ptr<THtmlView> view;

    QString programFolder() const { return folder.path() + QLatin1Char('/'); }
    int requestsFor(const std::string &path) const
    {
        int n = 0;
        for (const auto &r : server.requests())
            n += r.path == path;
        return n;
    }
    void relayoutSeveralTimes()
    {
        for (int i = 0; i < 4; ++i) {
            view->resize(view->width() + 7, view->height());
            view->document()->markContentsDirty(0, view->document()->characterCount());
            QTest::qWait(30);
        }
    }

private slots:
    void initTestCase() { QVERIFY(server.start()); }
    void init()
    {
        server.clearRequests();
        server.clearFaults();
        http = std::make_unique<THttpClient>(state, programFolder());
        view = std::make_unique<THtmlView>(*http, programFolder());
        view->resize(500, 300);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }
    void cleanup()
    {
        view.reset();
        http.reset();
    }

    void httpPicture_arrivesLaterAndIsFetchedOnce()
    {
        const QByteArray src = bytes(server.siteBase()) + "welcome.png";
        // Slow enough that the page is laid out before the picture is there.
        server.addFault({"/site/welcome.png", 300});
        QSignalSpy arrived(view.get(), &THtmlView::pictureArrived);
        view->ShowDocument("<html><head><title>Hi</title></head><body><p>Before</p><img src=\"" +
                           src + "\"><p>After</p></body></html>");
        // ShowDocument returned without waiting for the picture.
        QCOMPARE(view->PendingPictures(), 1);
        QCOMPARE(view->documentTitle(), QStringLiteral("Hi"));
        QVERIFY(arrived.wait(5000));
        QTest::qWait(50);
        // The white disc of the emulator's picture is on screen.
        QVERIFY2(countColour(*view, qRgb(255, 255, 255)) > 1000, "picture not painted");
        relayoutSeveralTimes();
        view->ShowDocument("<p>again</p><img src=\"" + src + "\">");
        relayoutSeveralTimes();
        QCOMPARE(requestsFor("/site/welcome.png"), 1);
    }

    void brokenPictures_areAskedForOnce_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("not a picture") << QByteArray("/site/broken.png");
        QTest::newRow("missing") << QByteArray("/site/nothing-here.png");
    }
    void brokenPictures_areAskedForOnce()
    {
        QFETCH(QByteArray, path);
        const QByteArray src = bytes(server.baseUrl()) + path;
        view->ShowDocument("<p>text</p><img src=\"" + src + "\">");
        QTRY_COMPARE_WITH_TIMEOUT(view->PendingPictures(), 0, 5000);
        relayoutSeveralTimes();
        view->ShowDocument("<p>other</p><img src=\"" + src + "\">");
        relayoutSeveralTimes();
        QCOMPARE(requestsFor(path.toStdString()), 1);
        QVERIFY(view->toPlainText().contains(QStringLiteral("other")));
    }

    void plainName_comesFromProgramFolder()
    {
        QImage red(40, 30, QImage::Format_RGB32);
        red.fill(qRgb(220, 0, 0));
        QVERIFY(red.save(folder.filePath(QStringLiteral("logo.png"))));
        view->ShowDocument("<body><img src=\"logo.png\"></body>");
        QTest::qWait(50);
        QCOMPARE(countColour(*view, qRgb(220, 0, 0)), 40 * 30);
        QVERIFY(server.requests().empty());
    }

    void linkClick_opensBrowserAndKeepsPage()
    {
        BrowserRecorder browser;
        view->ShowDocument(
            "<html><body><p>Read the <a href=\"http://127.0.0.1:1/tour?a=1&amp;b=2\">"
            "tour</a> first.</p></body></html>");
        const QString before = view->toHtml();
        QTextCursor cursor(view->document());
        cursor.setPosition(view->toPlainText().indexOf(QStringLiteral("tour")) + 2);
        const QPoint at = view->cursorRect(cursor).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(browser.waitForOpened(), QByteArray("http://127.0.0.1:1/tour?a=1&b=2"));
        QCOMPARE(view->toHtml(), before);
    }

    void closingWhilePictureLoads_isSafe()
    {
        server.addFault({"/site/welcome.png", 400});
        view->ShowDocument("<img src=\"" + bytes(server.siteBase()) + "welcome.png\">");
        QCOMPARE(view->PendingPictures(), 1);
        view.reset();
        QTest::qWait(600); // the answer comes to nobody
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestHtmlView test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_htmlview.moc"
