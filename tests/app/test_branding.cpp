// Branding through the real main window: settings files made with the real
// cipher in a fresh program folder, banners and skins beside them, and a
// browser stand-in that records every address the program opens.

#include "app/FMain.h"
#include "app/TApplication.h"
#include "base/FHtmlView.h"
#include "settings/FAbout.h"
#include "settings/FBranding.h"
#include "settings/SettingsCipher.h"
#include "support/BrowserRecorder.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessageBox.h"

#include <QFrame>
#include <QLabel>
#include <QMovie>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

class TestBranding : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<TfrmMain> w;
    ScriptedMessageBox msg;

    QString programFolder() const { return folder->path() + QLatin1Char('/'); }
    QString path(const QString &name) const { return folder->filePath(name); }

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
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    TestBranding test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_branding.moc"
