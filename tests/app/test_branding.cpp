// Branding through the real main window: settings files made with the real
// cipher in a fresh program folder, banners and skins beside them, and a
// browser stand-in that records every address the program opens.

#include "Sandbox.h"
#include "app/FMain.h"
#include "app/TApplication.h"
#include "base/FHtmlView.h"
#include "news/FNewsHint.h"
#include "settings/FAbout.h"
#include "settings/FBranding.h"
#include "settings/SettingsCipher.h"
#include "support/BrowserRecorder.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessageBox.h"

#include <QAccessible>
#include <QBuffer>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

class TestBranding : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<TfrmMain> w;
    ScriptedMessageBox msg;

    QString programFolder() const { return folder->path() + QLatin1Char('/'); }
    QString path(const QString &name) const { return folder->filePath(name); }

    // A settings file made with the real cipher from the entries in order.
    using Entries = QList<QPair<QByteArray, QByteArray>>;
    void writeSettings(const Entries &entries, const QByteArray &tail = {})
    {
        QByteArray text = "Settings for the tests\r\n";
        for (const auto &[tag, value] : entries)
            text += "<%%" + tag + "%%>" + value + "<%%/" + tag + "%%>\r\n";
        text += tail;
        QTemporaryDir plainDir;
        const QString plain = plainDir.filePath(QStringLiteral("plain.txt"));
        QVERIFY(writeFile(plain, text));
        QVERIFY(EncryptSettingsFile(plain, path(QStringLiteral("dbsettings.dat"))));
    }
    static bool writeFile(const QString &file, const QByteArray &data)
    {
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    }
    QByteArray readFile(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A GIF of `frames` frames drawn by ImageMagick.
    QByteArray makeGif(int width, int height, int frames)
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("a.gif"));
        QStringList args = {QStringLiteral("-delay"), QStringLiteral("10"), QStringLiteral("-size"),
                            QStringLiteral("%1x%2").arg(width).arg(height)};
        const char *colours[] = {"xc:#2f6fb5", "xc:#e07a1f", "xc:#3a9d5d"};
        for (int i = 0; i < frames; ++i)
            args << QLatin1String(colours[i % 3]);
        args << out;
        QProcess convert;
        convert.start(QStringLiteral("convert"), args);
        if (!convert.waitForFinished(20000) || convert.exitCode() != 0)
            return {};
        QFile f(out);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QByteArray makeStill(int width, int height, const char *format)
    {
        QImage img(width, height, QImage::Format_RGB32);
        img.fill(qRgb(200, 40, 40));
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        img.save(&buffer, format);
        return data;
    }
    QStringList folderFiles() const
    {
        return QDir(folder->path())
            .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
    static Entries named(const QByteArray &name) { return {{"ApplicationName", name}}; }

    void open()
    {
        w = OpenMainWindow(Endpoints{}, programFolder(), msg);
        QVERIFY(w);
    }

    // Records the about box as the user sees it, then presses Ok.
    struct AboutSeen
    {
        QString caption, name, version, copyright, text;
        bool bold = false, readOnly = false, fixed = false, closed = false;
    };
    AboutSeen clickAbout()
    {
        AboutSeen seen;
        ModalScript script;
        script.then([&](QDialog &d) {
            auto &about = static_cast<TfrmAbout &>(d);
            seen.caption = about.windowTitle();
            seen.name = about.lblProductName->text();
            seen.version = about.lblProductVersion->text();
            seen.copyright = about.lblCopyright1->text();
            seen.text = about.memAbout->toPlainText();
            seen.bold = about.lblProductName->font().bold();
            seen.readOnly = about.memAbout->isReadOnly() &&
                            about.memAbout->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
            seen.fixed = about.minimumSize() == about.maximumSize();
            QTest::mouseClick(about.editAbout, Qt::LeftButton);
            seen.closed = !about.isVisible();
        });
        QTest::mouseClick(w->btnAbout, Qt::LeftButton);
        return seen;
    }

private slots:
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(folder->isValid());
    }
    void cleanup()
    {
        TApplication::SetErrorBox(nullptr);
        w.reset();
        folder.reset();
    }

    void noSettings_designedLookAndEmptyAddresses()
    {
        open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Tarnwick"));
        QVERIFY(w->btnNews->isVisible());
        QCOMPARE(w->btnMakeMoney->text(), QStringLiteral("Make Money"));
        QVERIFY(w->panBanner->isVisible());
        QCOMPARE(w->panBanner->height(), 65);
        QVERIFY(w->panLinks->isVisible());
        QCOMPARE(LinkAddress(*w->lblLink1URL), QByteArray("http://www.google.com/"));

        // Make Money and Help pass their empty addresses on.
        BrowserRecorder browser;
        QTest::mouseClick(w->btnMakeMoney, Qt::LeftButton);
        QCOMPARE(browser.waitForOpened(1), QByteArray());
        QTest::mouseClick(w->btnHelp, Qt::LeftButton);
        QCOMPARE(browser.waitForOpened(2), QByteArray());

        const AboutSeen about = clickAbout();
        QCOMPARE(about.caption, QStringLiteral("About ..."));
        QCOMPARE(about.name, QString());
        QCOMPARE(about.version, QStringLiteral("Product Version: 2.01"));
        QCOMPARE(about.copyright, QStringLiteral("Copyright (c)  "));
        QCOMPARE(about.text, QString());
        QVERIFY(about.bold);
        QVERIFY(about.readOnly);
        QVERIFY(about.fixed);
        QVERIFY(about.closed);
    }

    void caption_nameAndVersion_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("aboutCaption");
        QTest::newRow("name") << QByteArray("Demo") << QStringLiteral("Demo v2.01")
                              << QStringLiteral("About Demo...");
        QTest::newRow("empty name")
            << QByteArray() << QStringLiteral(" v2.01") << QStringLiteral("About ...");
        QTest::newRow("8-bit name") << QByteArray("Caf\xe9 Pro") << QStringLiteral("Café Pro v2.01")
                                    << QStringLiteral("About Café Pro...");
    }
    void caption_nameAndVersion()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, caption);
        QFETCH(QString, aboutCaption);
        writeSettings(named(name));
        open();
        QCOMPARE(w->windowTitle(), caption);
        QCOMPARE(clickAbout().caption, aboutCaption);
    }

    void newsButton_followsTier_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<bool>("visible");
        const QByteArray base = "http://127.0.0.1:1/news/";
        QTest::newRow("Master with its pair") << Entries{{"BranderType", "Master"},
                                                         {"MasterNewsBaseURL", base},
                                                         {"MasterPublID", "P1"}}
                                              << true;
        QTest::newRow("master in lower case") << Entries{{"BranderType", "master"},
                                                         {"MasterNewsBaseURL", base},
                                                         {"MasterPublID", "P1"}}
                                              << false;
        QTest::newRow("Master without publisher")
            << Entries{{"BranderType", "Master"}, {"MasterNewsBaseURL", base}} << false;
        QTest::newRow("Platinum with its pair") << Entries{{"BranderType", "Platinum"},
                                                           {"PlatinumNewsBaseURL", base},
                                                           {"PlatinumPublID", "P2"}}
                                                << true;
        QTest::newRow("Gold with Master's pair")
            << Entries{{"BranderType", "Gold"}, {"MasterNewsBaseURL", base}, {"MasterPublID", "P1"}}
            << false;
        QTest::newRow("Gold with its pair")
            << Entries{{"BranderType", "Gold"}, {"GoldNewsBaseURL", base}, {"GoldPublID", "P3"}}
            << true;
        QTest::newRow("Free with Master's pair")
            << Entries{{"BranderType", "Free"}, {"MasterNewsBaseURL", base}, {"MasterPublID", "P1"}}
            << true;
        QTest::newRow("Free with only Platinum's pair") << Entries{{"BranderType", "Free"},
                                                                   {"PlatinumNewsBaseURL", base},
                                                                   {"PlatinumPublID", "P2"}}
                                                        << false;
        QTest::newRow("no tier") << Entries{{"MasterNewsBaseURL", base}, {"MasterPublID", "P1"}}
                                 << false;
    }
    void newsButton_followsTier()
    {
        QFETCH(Entries, entries);
        QFETCH(bool, visible);
        writeSettings(named("Demo") + entries);
        open();
        QCOMPARE(w->btnNews->isVisible(), visible);
    }

    void makeMoney_captionAndAddress_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QByteArray>("address");
        QTest::newRow("caption and affiliate id")
            << Entries{{"AffiliateURL",
                        "http://127.0.0.1:1/aff?id=%%AFFILIATEID%%&x=%%AFFILIATEID%%"},
                       {"AffiliateID", "77"},
                       {"MakeMoneyButton", "Earn 50%"}}
            << QStringLiteral("Earn 50%") << QByteArray("http://127.0.0.1:1/aff?id=77&x=77");
        QTest::newRow("present but empty")
            << Entries{{"MakeMoneyButton", ""}} << QStringLiteral("Make Money") << QByteArray();
    }
    void makeMoney_captionAndAddress()
    {
        QFETCH(Entries, entries);
        QFETCH(QString, caption);
        QFETCH(QByteArray, address);
        writeSettings(named("Demo") + entries);
        open();
        QCOMPARE(w->btnMakeMoney->text(), caption);
        BrowserRecorder browser;
        QTest::mouseClick(w->btnMakeMoney, Qt::LeftButton);
        QCOMPARE(browser.waitForOpened(), address);
    }

    void help_opensHelpAddress()
    {
        writeSettings(named("Demo") + Entries{{"AppHelpURL", "http://127.0.0.1:1/help.html"}});
        open();
        BrowserRecorder browser;
        QTest::mouseClick(w->btnHelp, Qt::LeftButton);
        QCOMPARE(browser.waitForOpened(), QByteArray("http://127.0.0.1:1/help.html"));
    }

    void banner_formatFromEntryName_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QByteArray>("content"); // gif, jpeg, png, damaged, none
        QTest::addColumn<QByteArray>("shown");   // gif, img, hidden
        QTest::newRow("top.GIF animated")
            << QByteArray("top.GIF") << QByteArray("gif") << QByteArray("gif");
        QTest::newRow("JPEG") << QByteArray("top.jpg") << QByteArray("jpeg") << QByteArray("img");
        QTest::newRow("backslash path")
            << QByteArray("images\\top.jpg") << QByteArray("jpeg") << QByteArray("img");
        QTest::newRow("forward slash path")
            << QByteArray("images/top.jpg") << QByteArray("jpeg") << QByteArray("img");
        QTest::newRow("x.gif.png is a GIF")
            << QByteArray("x.gif.png") << QByteArray("gif") << QByteArray("gif");
        QTest::newRow("x.gif.png holding a PNG")
            << QByteArray("x.gif.png") << QByteArray("png") << QByteArray("hidden");
        QTest::newRow("extension decides, not the bytes")
            << QByteArray("top.jpg") << QByteArray("png") << QByteArray("hidden");
        QTest::newRow("damaged") << QByteArray("top.jpg") << QByteArray("damaged")
                                 << QByteArray("hidden");
        QTest::newRow("damaged GIF")
            << QByteArray("top.gif") << QByteArray("damaged") << QByteArray("hidden");
        QTest::newRow("missing file")
            << QByteArray("top.jpg") << QByteArray("none") << QByteArray("hidden");
        QTest::newRow("no extension")
            << QByteArray("top") << QByteArray("png") << QByteArray("hidden");
    }
    void banner_formatFromEntryName()
    {
        QFETCH(QByteArray, image);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, shown);
        QByteArray data;
        if (content == "gif")
            data = makeGif(300, 40, 3);
        else if (content == "jpeg")
            data = makeStill(300, 40, "JPEG");
        else if (content == "png")
            data = makeStill(300, 40, "PNG");
        else if (content == "damaged")
            data = makeStill(300, 40, image.endsWith("gif") ? "PNG" : "JPEG").left(60);
        if (content != "none") {
            QVERIFY(!data.isEmpty());
            QVERIFY(writeFile(path(QStringLiteral("banner1.dat")), data));
        }
        writeSettings(named("Demo") + Entries{{"Banner1", image + "^http://127.0.0.1:1/b.html"}});
        const QStringList before = folderFiles();
        open();

        if (shown == "hidden") {
            QVERIFY(!w->panBanner->isVisible());
        } else {
            QVERIFY(w->panBanner->isVisible());
            QLabel *picture = shown == "gif" ? static_cast<QLabel *>(w->gifBanner)
                                             : static_cast<QLabel *>(w->imgBanner);
            QLabel *other = shown == "gif" ? static_cast<QLabel *>(w->imgBanner)
                                           : static_cast<QLabel *>(w->gifBanner);
            QVERIFY(picture->isVisible());
            QVERIFY(!other->isVisible());
            QCOMPARE(picture->size(), QSize(300, 40));
            QCOMPARE(w->panBanner->height(), 50);
            QCOMPARE(picture->pos(), QPoint(w->panBanner->width() / 2 - 150, 25 - 20));
            QCOMPARE(picture->cursor().shape(), Qt::PointingHandCursor);
            if (shown == "gif") {
                QVERIFY(w->gifBanner->movie());
                QCOMPARE(w->gifBanner->movie()->frameCount(), 3);
                QCOMPARE(w->gifBanner->movie()->state(), QMovie::Running);
            }
            BrowserRecorder browser;
            QTest::mouseClick(picture, Qt::LeftButton);
            QCOMPARE(browser.waitForOpened(), QByteArray("http://127.0.0.1:1/b.html"));
        }
        // Nothing renamed, nothing added, the banner's bytes as they were.
        QCOMPARE(folderFiles(), before);
        QCOMPARE(readFile(QStringLiteral("banner1.dat")), data);
    }

    void banner_withoutAddressIsNoLink()
    {
        QVERIFY(writeFile(path(QStringLiteral("banner1.dat")), makeStill(120, 30, "PNG")));
        writeSettings(named("Demo") + Entries{{"Banner1", "a.png"}});
        open();
        QVERIFY(w->imgBanner->isVisible());
        QVERIFY(w->imgBanner->cursor().shape() != Qt::PointingHandCursor);
        BrowserRecorder browser;
        QTest::mouseClick(w->imgBanner, Qt::LeftButton);
        QTest::qWait(300);
        QVERIFY(browser.opened().isEmpty());
    }

    void links_stripAndTargets_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<bool>("strip");
        QTest::addColumn<QString>("second");
        QTest::newRow("no link") << Entries{} << false << QString();
        QTest::newRow("one link") << Entries{{"Link1", "Tour^http://127.0.0.1:1/tour"}} << true
                                  << QString();
        QTest::newRow("first link without caption")
            << Entries{{"Link1", "^http://127.0.0.1:1/tour"}} << false << QString();
    }
    void links_stripAndTargets()
    {
        QFETCH(Entries, entries);
        QFETCH(bool, strip);
        QFETCH(QString, second);
        writeSettings(named("Demo") + entries);
        open();
        QCOMPARE(w->panLinks->isVisible(), strip);
        QCOMPARE(w->lblLink2URL->text(), second);
        if (!strip)
            return;
        QVERIFY(w->lblLink1URL->text().contains(QStringLiteral(">Tour<")));
        BrowserRecorder browser;
        QTest::mouseClick(w->lblLink1URL, Qt::LeftButton, {},
                          QPoint(8, w->lblLink1URL->height() / 2));
        // The label's own behaviour: the shell's "open", not the browser.
        QCOMPARE(browser.waitForShellOpened(), QByteArray("http://127.0.0.1:1/tour"));
        QVERIFY(browser.opened().isEmpty());
    }

    void links_mailAndFileAddresses_reachTheShellOpen_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::newRow("mail") << QByteArray("mailto:sales@example.com?subject=Demo");
        QTest::newRow("file") << QByteArray("file:///usr/share/doc/README");
    }
    void links_mailAndFileAddresses_reachTheShellOpen()
    {
        QFETCH(QByteArray, address);
        writeSettings(named("Demo") + Entries{{"Link1", "Write to us^" + address}});
        open();
        BrowserRecorder browser;
        QTest::mouseClick(w->lblLink1URL, Qt::LeftButton, {},
                          QPoint(8, w->lblLink1URL->height() / 2));
        QCOMPARE(browser.waitForShellOpened(), address);
        QTest::qWait(100);
        QVERIFY(browser.opened().isEmpty());
        QCOMPARE(browser.shellOpened().size(), 1);
    }

    void links_twoLabelsOpenTheirOwnAddress()
    {
        writeSettings(named("Demo") + Entries{{"Link1", "One^http://127.0.0.1:1/one"},
                                              {"Link2", "Two^http://127.0.0.1:1/two"}});
        open();
        const bool oneFirst = w->lblLink1URL->text().contains(QStringLiteral(">One<"));
        QVERIFY(w->lblLink2URL->text().contains(oneFirst ? QStringLiteral(">Two<")
                                                         : QStringLiteral(">One<")));
        BrowserRecorder browser;
        QLabel *right = w->lblLink2URL;
        QTest::mouseClick(right, Qt::LeftButton, {},
                          QPoint(right->width() - 6, right->height() / 2));
        QCOMPARE(browser.waitForShellOpened(),
                 QByteArray(oneFirst ? "http://127.0.0.1:1/two" : "http://127.0.0.1:1/one"));
    }

    void skinAndIcon_data()
    {
        QTest::addColumn<QByteArray>("skin"); // file content; "none" for no file
        QTest::addColumn<bool>("applied");
        QTest::addColumn<QByteArray>("icon"); // good, broken, none
        const QByteArray sheet = "#panBanner { background: #123456; }\n";
        QTest::newRow("plain") << sheet << true << QByteArray("good");
        QTest::newRow("compressed") << qCompress(sheet) << true << QByteArray("good");
        QTest::newRow("compressed, damaged")
            << qCompress(sheet).left(12) << false << QByteArray("good");
        QTest::newRow("empty") << QByteArray() << false << QByteArray("good");
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11) << false
                                << QByteArray("good");
        QTest::newRow("no file") << QByteArray("none") << false << QByteArray("good");
        // Qt would drop such a sheet whole, the built-in look with it.
        QTest::newRow("unclosed block")
            << QByteArray("QFrame { background: #aabbcc") << false << QByteArray("good");
        QTest::newRow("not a sheet") << QByteArray("Hello") << false << QByteArray("good");
        QTest::newRow("no icon") << sheet << true << QByteArray("none");
        QTest::newRow("broken icon") << sheet << true << QByteArray("broken");
    }
    void skinAndIcon()
    {
        QFETCH(QByteArray, skin);
        QFETCH(bool, applied);
        QFETCH(QByteArray, icon);
        const QString builtIn = qApp->styleSheet();
        QVERIFY(!builtIn.isEmpty());
        auto restore = qScopeGuard([] {
            ApplyBuiltInSkin();
            qApp->setWindowIcon(BuiltInIcon());
        });
        if (skin != "none")
            QVERIFY(writeFile(path(QStringLiteral("mainskin.dat")), skin));
        if (icon == "good") {
            QImage picture(32, 32, QImage::Format_ARGB32);
            picture.fill(qRgb(10, 120, 200));
            QVERIFY(picture.save(path(QStringLiteral("main.ico")), "ICO"));
        } else if (icon == "broken") {
            QVERIFY(writeFile(path(QStringLiteral("main.ico")), "\0\0\1\0garbage"));
        }
        writeSettings(named("Demo"));
        open();
        const QImage strip = w->panBanner->grab().toImage();
        if (applied) {
            QCOMPARE(qApp->styleSheet(), QStringLiteral("#panBanner { background: #123456; }\n"));
            QCOMPARE(strip.pixelColor(strip.width() / 2, 2), QColor(0x12, 0x34, 0x56));
        } else {
            QCOMPARE(qApp->styleSheet(), builtIn);
            // The built-in look still paints the window.
            QCOMPARE(strip.pixelColor(strip.width() / 2, 2), QColor(0xe8, 0xec, 0xf1));
        }
        if (icon == "good") {
            QVERIFY(w->windowIcon().availableSizes().contains(QSize(32, 32)));
        } else {
            // The program keeps its own icon.
            QCOMPARE(qApp->windowIcon().availableSizes(), BuiltInIcon().availableSizes());
            QVERIFY(!w->windowIcon().availableSizes().contains(QSize(32, 32)));
            QVERIFY(!w->windowIcon().isNull());
        }
    }

    void welcomePage_firstThenThanks()
    {
        sandbox::Sandbox server;
        QVERIFY(server.start());
        const QByteArray picture = QByteArray::fromStdString(server.siteBase()) + "welcome.png";
        QVERIFY(writeFile(path(QStringLiteral("banner1.dat")), makeStill(300, 40, "PNG")));
        writeSettings(
            named("Demo") +
            Entries{{"Welcome1", "<html><body><h2>Welcome to Demo</h2><p><img src=\"" + picture +
                                     "\"><p>Start with the <a "
                                     "href=\"http://127.0.0.1:1/tour\">tour</a>.</p>"
                                     "</body></html>"},
                    {"Banner1", "b.png^http://127.0.0.1:1/b"},
                    {"Link1", "Tour^http://127.0.0.1:1/tour"}});
        open();
        QCOMPARE(w->pgcPrinc->count(), 2);
        QCOMPARE(w->pgcPrinc->currentWidget(), w->stsWelcome);
        QVERIFY(!w->Timer1->isActive());
        QVERIFY(w->prfWelcome->toPlainText().contains(QStringLiteral("Welcome to Demo")));
        QTRY_COMPARE_WITH_TIMEOUT(w->prfWelcome->PendingPictures(), 0, 5000);
        // The picture was asked for and is painted: a page of text has no
        // saturated colour.
        int pictureRequests = 0;
        for (const auto &r : server.requests())
            pictureRequests += r.path == "/site/welcome.png";
        QCOMPARE(pictureRequests, 1);
        QTest::qWait(50);
        const QImage page = w->prfWelcome->viewport()->grab().toImage();
        int coloured = 0;
        for (int y = 0; y < page.height(); y += 2)
            for (int x = 0; x < page.width(); x += 2)
                coloured += page.pixelColor(x, y).saturation() > 80;
        QVERIFY2(coloured > 200, qPrintable(QString::number(coloured)));
        SaveShot(*w, QStringLiteral("branding-welcome-page"));

        // A link on the page goes to the browser; the page stays.
        BrowserRecorder browser;
        QTextCursor cursor(w->prfWelcome->document());
        cursor.setPosition(w->prfWelcome->toPlainText().indexOf(QStringLiteral("tour")) + 2);
        QTest::mouseClick(w->prfWelcome->viewport(), Qt::LeftButton, {},
                          w->prfWelcome->cursorRect(cursor).center());
        QCOMPARE(browser.waitForOpened(), QByteArray("http://127.0.0.1:1/tour"));
        QCOMPARE(w->pgcPrinc->currentWidget(), w->stsWelcome);

        // Enter while the HTML view has the focus means "Thanks".
        w->activateWindow();
        w->prfWelcome->setFocus();
        QTest::keyClick(w->prfWelcome, Qt::Key_Return);
        QCOMPARE(w->pgcPrinc->currentWidget(), w->stsMain);
        // Leaving the welcome page starts the start-up check's timer.
        QVERIFY(w->Timer1->isActive());
        w->Timer1->stop();
        QTest::qWait(50);
        // The banner is centred in the strip the user now sees.
        QCOMPARE(w->imgBanner->pos(),
                 QPoint(w->panBanner->width() / 2 - 150, w->panBanner->height() / 2 - 20));
        QVERIFY(w->panBanner->width() > 800);
    }

    void welcomePage_thanksButton()
    {
        writeSettings(named("Demo") + Entries{{"Welcome1", "<p>Hello</p>"}});
        open();
        QCOMPARE(w->btnThanks->text(), QStringLiteral("Thanks, just show me the main application"));
        QVERIFY(!w->Timer1->isActive());
        QTest::mouseClick(w->btnThanks, Qt::LeftButton);
        QCOMPARE(w->pgcPrinc->currentWidget(), w->stsMain);
        QVERIFY(w->Timer1->isActive());
        w->Timer1->stop();
    }

    void failedCheck_screenStepsRunWithEmptyValues()
    {
        // Right length and layout, wrong bytes: the check fails.
        writeSettings(named("Demo") + Entries{{"Link1", "Tour^http://127.0.0.1:1/tour"}});
        QByteArray damaged = readFile(QStringLiteral("dbsettings.dat"));
        damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 0x40);
        QVERIFY(writeFile(path(QStringLiteral("dbsettings.dat")), damaged));
        open();
        QCOMPARE(w->windowTitle(), QStringLiteral(" v2.01"));
        QVERIFY(!w->btnNews->isVisible());
        QCOMPARE(w->btnMakeMoney->text(), QStringLiteral("Make Money"));
        QVERIFY(!w->panBanner->isVisible());
        QVERIFY(!w->panLinks->isVisible());
        QCOMPARE(w->pgcPrinc->currentWidget(), w->stsMain);
        QCOMPARE(readFile(QStringLiteral("dbsettings.dat")), damaged);
        QCOMPARE(folderFiles(), QStringList{QStringLiteral("dbsettings.dat")});
    }

    void unreadableSettings_likeMissing_data()
    {
        QTest::addColumn<QByteArray>("how");
        QTest::newRow("a folder of that name") << QByteArray("folder");
        QTest::newRow("no read permission") << QByteArray("mode");
    }
    void unreadableSettings_likeMissing()
    {
        QFETCH(QByteArray, how);
        const QString file = path(QStringLiteral("dbsettings.dat"));
        if (how == "folder") {
            QVERIFY(QDir().mkdir(file));
        } else {
            writeSettings(named("Demo") + Entries{{"Link1", "Tour^http://127.0.0.1:1/tour"}});
            QVERIFY(QFile::setPermissions(file, QFileDevice::WriteOwner));
            QFile probe(file);
            if (probe.open(QIODevice::ReadOnly))
                QSKIP("this user reads files without read permission (root)");
        }
        auto restore = qScopeGuard(
            [&] { QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner); });
        // The rest of the start-up runs: the timer starts at creation.
        TfrmMain fresh(Endpoints{}, programFolder());
        QVERIFY(fresh.Timer1->isActive());
        fresh.Timer1->stop();
        open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Tarnwick"));
        QVERIFY(w->btnNews->isVisible());
        QCOMPARE(w->btnMakeMoney->text(), QStringLiteral("Make Money"));
        QVERIFY(w->panBanner->isVisible());
        QCOMPARE(w->panBanner->height(), 65);
        QVERIFY(w->panLinks->isVisible());
        QVERIFY(w->lblLink1URL->text().contains(QStringLiteral(">Google<")));
        QVERIFY(w->ProgramSettings.ApplicationName.isEmpty());
        QVERIFY(msg.texts().isEmpty());
        // The news list is there for Check News.
        QVERIFY(w->NewsList.isEmpty());
    }

    void paintedWidgets_tellAssistiveTechnology()
    {
        QVERIFY(writeFile(path(QStringLiteral("banner1.dat")), makeStill(120, 30, "PNG")));
        writeSettings(named("Demo") + Entries{{"Banner1", "offer.png^http://127.0.0.1:1/offer"}});
        open();
        auto text = [](QObject *o, QAccessible::Text t) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(o);
            return a ? a->text(t) : QStringLiteral("<no interface>");
        };
        QCOMPARE(text(w->imgBanner, QAccessible::Name), QStringLiteral("Banner"));
        QCOMPARE(text(w->imgBanner, QAccessible::Description),
                 QStringLiteral("offer.png: opens http://127.0.0.1:1/offer"));

        w->ShowNewsHint(QStringLiteral("You've Got A Message!\r\nSpring offer"));
        QCOMPARE(text(w->LMDMessageHint1, QAccessible::Name),
                 QStringLiteral("You've Got A Message!"));
        QCOMPARE(text(w->LMDMessageHint1, QAccessible::Description),
                 QStringLiteral("Spring offer"));
        w->ShowNewsHint(QStringLiteral("You've Got A Message!\r\nSummer sale"));
        QCOMPARE(text(w->LMDMessageHint1, QAccessible::Description), QStringLiteral("Summer sale"));

        QCOMPARE(text(w->MainGauge, QAccessible::Name), QStringLiteral("Progress"));
        w->IdHTTP1WorkBegin(200);
        w->IdHTTP1Work(50);
        QCOMPARE(text(w->MainGauge, QAccessible::Description), QStringLiteral("25%"));
        w->IdHTTP1WorkEnd();
        QCOMPARE(text(w->MainGauge, QAccessible::Description), QStringLiteral("100%"));
    }

    // The window as the program opens it, timer running: the start-up check
    // begins 100 ms after the main page is first reachable.
    void timer1_startsWhenTheMainPageIsFirstReachable()
    {
        sandbox::Sandbox server;
        QVERIFY(server.start());
        server.setValidPublisher("PUB1001", "TARNWICK");
        Endpoints urls;
        const Entries news{{"BranderCode", "TARNWICK"},
                           {"BranderType", "Master"},
                           {"MasterNewsBaseURL", QByteArray::fromStdString(server.newsBase())},
                           {"MasterPublID", "PUB1001"}};
        auto newsRequests = [&] {
            int n = 0;
            for (const auto &r : server.requests())
                n += r.path.find("/news/getlastnews.php") == 0;
            return n;
        };
        {
            // Without a welcome page: at creation.
            writeSettings(named("Demo") + news);
            TfrmMain plain(urls, programFolder());
            plain.SetMessageBox(&msg);
            QVERIFY(plain.Timer1->isActive());
            plain.show();
            QTRY_COMPARE_WITH_TIMEOUT(newsRequests(), 1, 10000);
            QVERIFY(!plain.Timer1->isActive());
        }
        server.clearRequests();
        // With one: only once "Thanks..." leads to the main page.
        writeSettings(named("Demo") + news + Entries{{"Welcome1", "<p>Hello</p>"}});
        TfrmMain welcome(urls, programFolder());
        welcome.SetMessageBox(&msg);
        QVERIFY(!welcome.Timer1->isActive());
        welcome.show();
        QVERIFY(QTest::qWaitForWindowExposed(&welcome));
        QTest::qWait(400);
        QVERIFY(!welcome.Timer1->isActive());
        QCOMPARE(newsRequests(), 0);
        QTest::mouseClick(welcome.btnThanks, Qt::LeftButton);
        QVERIFY(welcome.Timer1->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(newsRequests(), 1, 10000);
        QVERIFY(!welcome.Timer1->isActive());
    }

    void secondBanner_topGifFromBanner2()
    {
        const QByteArray gif = makeGif(200, 30, 2);
        QVERIFY(!gif.isEmpty());
        const QByteArray png = makeStill(100, 20, "PNG");
        QVERIFY(writeFile(path(QStringLiteral("banner1.dat")), png));
        QVERIFY(writeFile(path(QStringLiteral("banner2.dat")), gif));
        writeSettings(named("Demo") + Entries{{"Banner1", "first.png^http://127.0.0.1:1/one"},
                                              {"Banner2", "top.GIF^http://127.0.0.1:1/two"}});
        const QStringList before = folderFiles();
        // The banner is chosen at random: open until the second one is drawn.
        for (int attempt = 0; attempt < 60; ++attempt) {
            open();
            if (w->ProgramSettings.BannerNumber == 2)
                break;
            w.reset();
        }
        QVERIFY(w);
        QCOMPARE(w->ProgramSettings.BannerNumber, 2);
        QCOMPARE(w->ProgramSettings.BannerImage, QByteArray("top.GIF"));
        QVERIFY(w->gifBanner->isVisible());
        QVERIFY(!w->imgBanner->isVisible());
        QCOMPARE(w->gifBanner->size(), QSize(200, 30));
        QCOMPARE(w->gifBanner->movie()->frameCount(), 2);
        QCOMPARE(w->panBanner->height(), 40);
        BrowserRecorder browser;
        QTest::mouseClick(w->gifBanner, Qt::LeftButton);
        QCOMPARE(browser.waitForOpened(), QByteArray("http://127.0.0.1:1/two"));
        // The file keeps its neutral name; no top.GIF appears.
        QCOMPARE(folderFiles(), before);
        QVERIFY(!QFile::exists(path(QStringLiteral("top.GIF"))));
        QCOMPARE(readFile(QStringLiteral("banner2.dat")), gif);
    }

    void demoSettings_brandTheWindow()
    {
        QFile demo(QStringLiteral(TARNWICK_SOURCE_DIR "/scripts/demo-settings.txt"));
        QVERIFY(demo.open(QIODevice::ReadOnly));
        const QByteArray text = demo.readAll().replace("@BASE@", "http://127.0.0.1:1");
        QTemporaryDir plainDir;
        const QString plain = plainDir.filePath(QStringLiteral("demo.txt"));
        QVERIFY(writeFile(plain, text));
        QVERIFY(EncryptSettingsFile(plain, path(QStringLiteral("dbsettings.dat"))));
        open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Demo v2.01"));
        QCOMPARE(w->ProgramSettings.BranderCode, QByteArray("TARNWICK"));
        QCOMPARE(w->ProgramSettings.MasterPublID, QByteArray("PUB1001"));
        QCOMPARE(w->ProgramSettings.MasterNewsBaseURL, QByteArray("http://127.0.0.1:1/news/"));
        QVERIFY(w->btnNews->isVisibleTo(w->stsMain));
        QCOMPARE(w->pgcPrinc->currentWidget(), w->stsWelcome);
        QVERIFY(w->panLinks->isVisibleTo(w->stsMain));
        QCOMPARE(w->ProgramSettings.AffiliateURL,
                 QByteArray("http://127.0.0.1:1/site/makemoney.html?aff=DEMO77"));
    }

    void brandedWindowAndAbout_screenshots()
    {
        const QByteArray gif = makeGif(468, 60, 3);
        QVERIFY(!gif.isEmpty());
        QVERIFY(writeFile(path(QStringLiteral("banner1.dat")), gif));
        writeSettings(
            named("Demo") +
            Entries{{"BranderType", "Master"},
                    {"MasterNewsBaseURL", "http://127.0.0.1:1/news/"},
                    {"MasterPublID", "PUB1001"},
                    {"MakeMoneyButton", "Earn with Demo"},
                    {"CopyrightYears", "2006-2026"},
                    {"CopyrightCompany", "Demo Software Ltd."},
                    {"AboutText", "Demo finds the phrases people search for.\r\n\r\nLine three."},
                    {"Banner1", "offer.gif^http://127.0.0.1:1/b"},
                    {"Link1", "Take the tour^http://127.0.0.1:1/tour"},
                    {"Link2", "Support forum^http://127.0.0.1:1/forum"}});
        open();
        QTest::qWait(100);
        SaveShot(*w, QStringLiteral("branding-main-window"));
        ModalScript script;
        AboutSeen seen;
        script.then([&](QDialog &d) {
            auto &about = static_cast<TfrmAbout &>(d);
            seen.copyright = about.lblCopyright1->text();
            seen.text = about.memAbout->toPlainText();
            seen.name = about.lblProductName->text();
            SaveShot(about, QStringLiteral("branding-about-box"));
            QTest::mouseClick(about.editAbout, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnAbout, Qt::LeftButton);
        QCOMPARE(seen.name, QStringLiteral("Demo"));
        QCOMPARE(seen.copyright, QStringLiteral("Copyright (c) 2006-2026 Demo Software Ltd."));
        QCOMPARE(seen.text,
                 QStringLiteral("Demo finds the phrases people search for.\n\nLine three."));
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    TestBranding test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_branding.moc"
