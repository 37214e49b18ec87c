// The main window as a user drives it: real buttons, real dialogs answered
// through the modal seam, and a scripted message box.

#include "app/FMain.h"
#include "app/TApplication.h"
#include "base/HttpClient.h"
#include "base/ScreenText.h"
#include "keywords/FAddKeywords.h"
#include "keywords/FMainKeyword.h"
#include "support/ModalScript.h"
#include "support/ScriptedMessageBox.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <stdexcept>

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;
    std::unique_ptr<TfrmMain> w;
    ScriptedMessageBox msg;

    QString programFolder() const { return folder.path() + QLatin1Char('/'); }
    TKeywordList &list() { return *w->Items(); }
    QByteArray text(int row, int col) { return list().row(row)[col]; }
    QByteArrayList column(int col)
    {
        QByteArrayList out;
        for (int r = 0; r < list().count(); ++r)
            out.append(text(r, col));
        return out;
    }
    void clickHeader(int column) { ClickHeader(*w, column); }
    QString writeFile(const QString &name, const QByteArray &data)
    {
        QFile f(folder.path() + QLatin1Char('/') + name);
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return f.fileName();
    }
    void addPhrase(const QByteArray &phrase)
    {
        ModalScript script;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TfrmAddKeywords &>(d);
            dlg.edtAddKeyword->setText(ToScreen(phrase));
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnAddKeyword, Qt::LeftButton);
    }
    void importFile(const QString &path)
    {
        ModalScript script;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TfrmAddKeywords &>(d);
            dlg.edtList->setText(path);
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnAddKeyword, Qt::LeftButton);
    }
    // Key presses carrying text, as a keyboard layout with accents sends them.
    static void typeText(QWidget *edit, const QString &text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key(c.toUpper().unicode()), QString(c),
                                Qt::NoModifier);
    }
    void fillRows(const QList<QByteArrayList> &rows)
    {
        for (const QByteArrayList &r : rows) {
            list().addRow(r.value(0), r.value(1));
            for (int c = 2; c < r.size(); ++c)
                list().setText(list().count() - 1, c + 1, r[c]);
        }
    }

private slots:
    void init()
    {
        QVERIFY(folder.isValid());
        w = OpenMainWindow(Endpoints{}, programFolder(), msg);
        QVERIFY(w);
    }
    void cleanup()
    {
        TApplication::SetErrorBox(nullptr);
        w.reset();
    }

    void startsInDesignedStateWithoutSettings()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("Tarnwick"));
        // No welcome text: the welcome page is gone and the news timer runs.
        QCOMPARE(w->pgcPrinc->count(), 1);
        QCOMPARE(w->pgcPrinc->currentWidget(), w->stsMain);
        {
            // The opener holds the timer back: a window made as the program
            // makes it has it running from its creation.
            TfrmMain fresh(Endpoints{}, w->ProgramFolder());
            QVERIFY(fresh.Timer1->isActive());
            QCOMPARE(fresh.Timer1->interval(), 100);
            fresh.Timer1->stop();
        }
        QCOMPARE(w->centralWidget()->size(), QSize(914, 597));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("0 item listed"));
        QCOMPARE(w->SecondStatusPanel->width(), 82);
        QCOMPARE(w->bsSkinStatusPanel1->width(), 160);
        QCOMPARE(w->MainGauge->width(), 130);
        QCOMPARE(w->btnNews->size(), QSize(41, 34));
        QCOMPARE(w->btnNews->toolTip(), QStringLiteral("Check News"));
        QCOMPARE(w->btnUpdate->toolTip(), QStringLiteral("Check Updates"));
        QCOMPARE(w->btnHelp->toolTip(), QStringLiteral("Help"));
        QCOMPARE(w->btnGatherKeyword->height(), 20);
        QCOMPARE(w->panBanner->height(), 65);
        QVERIFY(w->lvwItems->showGrid());
        const QStringList headers = {"No", "Keywords", "Searches", "Google", "Yahoo", "Msn"};
        const QList<int> widths = {49, 132, 132, 104, 104, 104};
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(list().headerData(c, Qt::Horizontal).toString(), headers[c]);
            QCOMPARE(w->lvwItems->columnWidth(c), widths[c]);
        }
        QCOMPARE(w->lblLink1URL->text().contains(QStringLiteral(">Google<")), true);
        QCOMPARE(w->lblLink2URL->text().contains(QStringLiteral(">Google<")), true);
        SaveShot(*w, QStringLiteral("main-empty"));
    }

    void windowShowsTheProgramsIcon()
    {
        // The pictures are resources of a static library: a lost registration
        // or a renamed file leaves every window with the platform's blank icon.
        for (int size : {48, 128, 256}) {
            const QImage image = BuiltInIcon().pixmap(size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            // The tile is opaque in the middle and see-through in the corner.
            QCOMPARE(image.pixelColor(size / 2, size / 2).alpha(), 255);
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        }
        QCOMPARE(w->windowIcon().pixmap(48).toImage(), BuiltInIcon().pixmap(48).toImage());
    }

    void mainKeyword_setKeepsTextAndCancelKeepsOld()
    {
        ModalScript script;
        script.then([](QDialog &d) {
            auto &dlg = static_cast<TfrmMainKeyword &>(d);
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Main Keyword"));
            QTest::keyClicks(dlg.edtMainKeyword, QStringLiteral("golf, soccer"));
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        w->MainStatusPanel->setText(QStringLiteral("old status"));
        QTest::mouseClick(w->btnMainKeyword, Qt::LeftButton);
        QCOMPARE(w->MainKeyword, QByteArray("golf, soccer"));
        QCOMPARE(w->bsSkinStatusPanel1->text(), QStringLiteral("Main Keyword: golf, soccer"));
        QCOMPARE(w->MainStatusPanel->text(), QString());

        // Opens empty again; an empty Ok is refused and the dialog stays;
        // Cancel keeps the old keyword.
        bool openedEmpty = false;
        bool stayedOpen = false;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TfrmMainKeyword &>(d);
            openedEmpty = dlg.edtMainKeyword->text().isEmpty();
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
            stayedOpen = dlg.isVisible();
            QTest::mouseClick(dlg.btnCancel, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnMainKeyword, Qt::LeftButton);
        QVERIFY(openedEmpty);
        QVERIFY(stayedOpen);
        QCOMPARE(msg.texts(), QStringList{QStringLiteral("Please add a Main Keyword.")});
        QCOMPARE(w->MainKeyword, QByteArray("golf, soccer"));
        QCOMPARE(w->bsSkinStatusPanel1->text(), QStringLiteral("Main Keyword: golf, soccer"));
    }

    void mainKeyword_enterKeyConfirms()
    {
        ModalScript script;
        script.then([](QDialog &d) {
            auto &dlg = static_cast<TfrmMainKeyword &>(d);
            dlg.edtMainKeyword->setFocus();
            QTest::keyClicks(dlg.edtMainKeyword, QStringLiteral("  tennis "));
            QTest::keyClick(dlg.edtMainKeyword, Qt::Key_Return);
        });
        QTest::mouseClick(w->btnMainKeyword, Qt::LeftButton);
        QCOMPARE(w->MainKeyword, QByteArray("  tennis "));
    }

    void addKeywords_typedPhraseIsOneRowNumberedOn()
    {
        fillRows({{"a"}, {"b"}, {"c"}});
        addPhrase(" golf, soccer ");
        QCOMPARE(list().count(), 4);
        QCOMPARE(text(3, KeywordRow::No), QByteArray("4"));
        QCOMPARE(text(3, KeywordRow::Keywords), QByteArray(" golf, soccer "));
        for (int c = KeywordRow::Searches; c <= KeywordRow::Msn; ++c)
            QCOMPARE(text(3, c), QByteArray());
        QVERIFY(!list().row(3).Checked);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("4 items listed"));
        addPhrase(" golf, soccer ");
        QCOMPARE(list().count(), 5); // duplicates are not checked
    }

    void addKeywords_dialogRefusesBadInput()
    {
        const QString file = writeFile(QStringLiteral("k.txt"), "golf\n");
        ModalScript script;
        QStringList afterEach;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TfrmAddKeywords &>(d);
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Enter Keyword(s)"));
            dlg.edtAddKeyword->setText(QStringLiteral("golf"));
            dlg.edtList->setText(file);
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.edtAddKeyword->text(), QStringLiteral("golf"));
            dlg.edtAddKeyword->clear();
            dlg.edtList->setText(file + QStringLiteral(".missing"));
            dlg.edtList->setFocus();
            QTest::keyClick(dlg.edtList, Qt::Key_Return);
            QVERIFY(dlg.isVisible());
            // Neither field: closes with OK and adds nothing.
            dlg.edtList->clear();
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
            QVERIFY(!dlg.isVisible());
        });
        w->SecondStatusPanel->setText(QStringLiteral("untouched"));
        QTest::mouseClick(w->btnAddKeyword, Qt::LeftButton);
        QCOMPARE(msg.texts(),
                 (QStringList{QStringLiteral("Please select only one way to add keywords."),
                              QStringLiteral("Please select a valid file.")}));
        QCOMPARE(list().count(), 0);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("untouched"));
    }

    void eightBitText_typedGoesInAsUtf8AndBytesShowAsTheyWereMeant()
    {
        ModalScript script;
        script.then([](QDialog &d) {
            auto &dlg = static_cast<TfrmMainKeyword &>(d);
            typeText(dlg.edtMainKeyword, QStringLiteral("golf caf\u00E9"));
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        script.then([](QDialog &d) {
            auto &dlg = static_cast<TfrmAddKeywords &>(d);
            typeText(dlg.edtAddKeyword, QStringLiteral("caf\u00E9"));
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnMainKeyword, Qt::LeftButton);
        QCOMPARE(w->MainKeyword, QByteArray("golf caf\xC3\xA9"));
        QCOMPARE(w->bsSkinStatusPanel1->text(), QStringLiteral("Main Keyword: golf caf\u00E9"));
        QTest::mouseClick(w->btnAddKeyword, Qt::LeftButton);
        QCOMPARE(text(0, KeywordRow::Keywords), QByteArray("caf\xC3\xA9"));

        // A file in the services' code page and one in UTF-8.
        importFile(writeFile(QStringLiteral("cp1252.txt"), "golf caf\xE9\r\n\x93golf\x94\r\n"));
        importFile(writeFile(QStringLiteral("utf8.txt"), "golf caf\xC3\xA9\n"));
        QCOMPARE(
            column(KeywordRow::Keywords),
            (QByteArrayList{"caf\xC3\xA9", "golf caf\xE9", "\x93golf\x94", "golf caf\xC3\xA9"}));
        const QStringList shown = {QStringLiteral("caf\u00E9"), QStringLiteral("golf caf\u00E9"),
                                   QStringLiteral("\u201Cgolf\u201D"),
                                   QStringLiteral("golf caf\u00E9")};
        for (int r = 0; r < shown.size(); ++r)
            QCOMPARE(w->lvwItems->model()->index(r, KeywordRow::Keywords).data().toString(),
                     shown[r]);
    }

    void importFile_linesAddToListAndNumberOn()
    {
        fillRows({{"x"}, {"y"}});
        // CR LF, LF and CR ends, an empty line, spaces kept, a final break adds
        // no row, and a zero byte ends the text.
        static const char content[] = "golf\r\n\r\n tennis \rpolo\nsquash\n\0ignored\n";
        const QString path =
            writeFile(QStringLiteral("list.txt"), QByteArray(content, sizeof content - 1));
        ModalScript script;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TfrmAddKeywords &>(d);
            // Browse through the real (non-native) open dialog.
            script.then([&](QDialog &fd) {
                auto &files = static_cast<QFileDialog &>(fd);
                QCOMPARE(files.windowTitle(), QStringLiteral("Open file"));
                QCOMPARE(files.nameFilters(), QStringList{QStringLiteral("Text files (*.txt)")});
                QCOMPARE(files.fileMode(), QFileDialog::ExistingFile);
                files.setDirectory(QFileInfo(path).absolutePath());
                // Type the name as a user would.
                auto *name = files.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                name->setText(QFileInfo(path).fileName());
                static_cast<QDialog &>(files).accept();
            });
            QTest::mouseClick(dlg.btnBrowse, Qt::LeftButton);
            QCOMPARE(dlg.edtList->text(), path);
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        QTest::mouseClick(w->btnAddKeyword, Qt::LeftButton);
        QCOMPARE(column(KeywordRow::Keywords),
                 (QByteArrayList{"x", "y", "golf", "", " tennis ", "polo", "squash"}));
        QCOMPARE(column(KeywordRow::No), (QByteArrayList{"1", "2", "3", "4", "5", "6", "7"}));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("Total: 7"));
    }

    void sort_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QByteArrayList>("values");
        QTest::addColumn<QByteArrayList>("ascending");
        QTest::newRow("searches with separators and empty")
            << int(KeywordRow::Searches) << QByteArrayList{"1,234", "987", ""}
            << QByteArrayList{"", "987", "1,234"};
        QTest::newRow("google beyond 32 bits")
            << int(KeywordRow::Google) << QByteArrayList{"3,000,000,000", "12", "2,147,483,648"}
            << QByteArrayList{"12", "2,147,483,648", "3,000,000,000"};
        QTest::newRow("words and overflow count as zero")
            << int(KeywordRow::Yahoo)
            << QByteArrayList{"5", "many", "99999999999999999999", "-3", ""}
            << QByteArrayList{"-3", "many", "99999999999999999999", "", "5"};
        QTest::newRow("keywords ignore case")
            << int(KeywordRow::Keywords) << QByteArrayList{"beta", "Alpha", "alpha2", "Gamma"}
            << QByteArrayList{"Alpha", "alpha2", "beta", "Gamma"};
        QTest::newRow("numbers sort as numbers")
            << int(KeywordRow::No) << QByteArrayList{"10", "9", "100"}
            << QByteArrayList{"9", "10", "100"};
    }
    void sort()
    {
        QFETCH(int, col);
        QFETCH(QByteArrayList, values);
        QFETCH(QByteArrayList, ascending);
        for (const QByteArray &v : values) {
            list().addRow("k");
            list().setText(list().count() - 1, col, v);
        }
        clickHeader(col);
        QCOMPARE(column(col), ascending);
        clickHeader(col);
        QByteArrayList descending = ascending;
        std::reverse(descending.begin(), descending.end());
        // Equal keys may come in any order; compare the numeric ranks only.
        if (col != KeywordRow::Yahoo)
            QCOMPARE(column(col), descending);
        QVERIFY(!w->SortAscending);
    }

    void sort_directionCarriesOverToNewColumn()
    {
        fillRows({{"a", "", "5", "30"}, {"b", "", "7", "10"}, {"c", "", "6", "20"}});
        clickHeader(KeywordRow::Google);
        clickHeader(KeywordRow::Google);
        QCOMPARE(column(KeywordRow::Google), (QByteArrayList{"7", "6", "5"}));
        clickHeader(KeywordRow::Yahoo);
        QCOMPARE(column(KeywordRow::Yahoo), (QByteArrayList{"30", "20", "10"}));
        // Numbers travel with their rows.
        QCOMPARE(column(KeywordRow::No), (QByteArrayList{"1", "3", "2"}));
        QCOMPARE(w->SortColumn, int(KeywordRow::Yahoo));
        QVERIFY(!w->SortAscending);
    }

    void sort_headerClicksCanBeSwitchedOff()
    {
        fillRows({{"b"}, {"a"}});
        w->SetHeaderClicksEnabled(false);
        clickHeader(KeywordRow::Keywords);
        QCOMPARE(column(KeywordRow::Keywords), (QByteArrayList{"b", "a"}));
        w->SetHeaderClicksEnabled(true);
        clickHeader(KeywordRow::Keywords);
        QCOMPARE(column(KeywordRow::Keywords), (QByteArrayList{"a", "b"}));
    }

    void deleteSelected_removesMarkedRowsAndRewritesCount()
    {
        importFile(writeFile(QStringLiteral("five.txt"), "a\nb\nc\nd\ne\n"));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("Total: 5"));
        // No row marked, OK: nothing removed but the count text is rewritten.
        QTest::mouseClick(w->bsSkinButton3, Qt::LeftButton);
        QCOMPARE(list().count(), 5);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("5 items listed"));
        QCOMPARE(msg.shown.last().text,
                 QStringLiteral("Are you sure do you want to delete the selected keywords?"));
        QCOMPARE(msg.shown.last().buttons, MsgButtons::OkCancel);

        // Mark rows b and d by their check boxes.
        for (int row : {1, 3})
            QVERIFY(list().setData(list().index(row, 0), Qt::Checked, Qt::CheckStateRole));
        msg.answers = {MsgResult::Cancel};
        QTest::mouseClick(w->bsSkinButton3, Qt::LeftButton);
        QCOMPARE(list().count(), 5);
        QTest::mouseClick(w->bsSkinButton3, Qt::LeftButton);
        QCOMPARE(column(KeywordRow::Keywords), (QByteArrayList{"a", "c", "e"}));
        QCOMPARE(column(KeywordRow::No), (QByteArrayList{"1", "3", "5"}));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("3 items listed"));

        // A later add numbers from the row count, so numbers can repeat.
        addPhrase("f");
        QCOMPARE(text(3, KeywordRow::No), QByteArray("4"));

        QTest::mouseClick(w->bsSkinButton1, Qt::LeftButton);
        QTest::mouseClick(w->bsSkinButton2, Qt::LeftButton);
        QTest::mouseClick(w->bsSkinButton3, Qt::LeftButton);
        QCOMPARE(list().count(), 4);
        QTest::mouseClick(w->bsSkinButton1, Qt::LeftButton);
        QTest::mouseClick(w->bsSkinButton3, Qt::LeftButton);
        QCOMPARE(list().count(), 0);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("0 items listed"));
    }

    void deleteAll_asksFirst()
    {
        fillRows({{"a"}, {"b"}});
        msg.answers = {MsgResult::Cancel};
        QTest::mouseClick(w->bsSkinButton4, Qt::LeftButton);
        QCOMPARE(list().count(), 2);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("2 items listed"));
        QTest::mouseClick(w->bsSkinButton4, Qt::LeftButton);
        QCOMPARE(list().count(), 0);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("0 items listed"));
        QCOMPARE(msg.shown.last().text, QStringLiteral("Are you sure do you want to delete all?"));
    }

    void generalErrorHandler_showsErrorAndKeepsRunning()
    {
        QPushButton probe(QStringLiteral("probe"));
        int clicks = 0;
        connect(&probe, &QPushButton::clicked, this, [&] {
            if (++clicks == 1)
                throw std::runtime_error("Disk full");
        });
        probe.show();
        QVERIFY(QTest::qWaitForWindowExposed(&probe));
        QTest::mouseClick(&probe, Qt::LeftButton);
        QCOMPARE(msg.texts(), QStringList{QStringLiteral("Disk full")});
        QCOMPARE(msg.shown.last().type, MsgType::Warning);
        QTest::mouseClick(&probe, Qt::LeftButton);
        QCOMPARE(clicks, 2);
    }

    void guardedCommand_exceptionStopsInItsHandler_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("Gather Keywords") << QStringLiteral("btnGatherKeyword");
        QTest::newRow("Gather Data") << QStringLiteral("btnGatherData");
    }
    void guardedCommand_exceptionStopsInItsHandler()
    {
        // The temporary page cannot be created: the command throws. The
        // handler hands that to the general error handler; it never travels
        // back through Qt's signal delivery to whoever pressed the button.
        QFETCH(QString, button);
        w = OpenMainWindow(Endpoints{}, programFolder() + QStringLiteral("missing/"), msg);
        QVERIFY(w);
        w->IdHTTP1->SetTempFolder(programFolder() + QStringLiteral("missing/"));
        w->MainKeyword = "golf";
        list().addRow("golf");
        ModalScript script;
        script.then(
            [](QDialog &d) { QTest::mouseClick(child<QPushButton>(d, "btnOk"), Qt::LeftButton); });
        bool returned = false;
        try {
            w->findChild<QPushButton *>(button)->click();
            returned = true;
        } catch (...) {
        }
        QVERIFY2(returned, "the exception left the button's signal");
        QCOMPARE(msg.shown.size(), 1);
        QCOMPARE(msg.shown.last().type, MsgType::Warning);
        QVERIFY2(msg.shown.last().text.contains(QStringLiteral("test.html")),
                 qPrintable(msg.shown.last().text));
        QVERIFY(!w->RunState.Busy);
        QCOMPARE(w->btnGatherData->text(), QStringLiteral("Gather Data"));
    }

    void closeWhileIdle_setsStop()
    {
        w->close();
        QVERIFY(w->StopRequested);
    }

    void screenshots()
    {
        const char *words[] = {"golf clubs",       "golf balls",   "golf shoes",    "golf carts",
                               "golf bags",        "golf gloves",  "golf tees",     "golf course",
                               "golf lessons",     "golf swing",   "golf tips",     "golf grips",
                               "golf hats",        "golf towels",  "golf umbrella", "golf gps",
                               "golf rangefinder", "golf putters", "golf drivers",  "golf wedges"};
        for (int i = 0; i < 20; ++i) {
            const qint64 n = (i * 7919 % 20 + 1) * 123457LL;
            list().addRow(words[i], QLocale(QLocale::English).toString(n / 10).toLatin1());
            list().setText(i, KeywordRow::Google,
                           QLocale(QLocale::English).toString(n * 3100).toLatin1());
            list().setText(i, KeywordRow::Yahoo,
                           QLocale(QLocale::English).toString(n * 870).toLatin1());
            list().setText(i, KeywordRow::Msn,
                           QLocale(QLocale::English).toString(n * 410).toLatin1());
        }
        list().setChecked(2, true);
        list().setChecked(5, true);
        w->SetRowCountText(ItemsListedText(20));
        w->bsSkinStatusPanel1->setText(QStringLiteral("Main Keyword: golf"));
        w->SetMainStatus(QStringLiteral("Process completed sucessfull!"));
        w->MainGauge->setValue(100);
        clickHeader(KeywordRow::Google);
        clickHeader(KeywordRow::Google);
        QTest::qWait(50);
        SaveShot(*w, QStringLiteral("main-20-rows-sorted-by-google"));

        TfrmMainKeyword mk(msg);
        mk.edtMainKeyword->setText(QStringLiteral("golf"));
        mk.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mk));
        SaveShot(mk, QStringLiteral("dialog-main-keyword"));
        TfrmAddKeywords ak(msg);
        ak.edtList->setText(QStringLiteral("/home/user/keywords.txt"));
        ak.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ak));
        SaveShot(ak, QStringLiteral("dialog-add-keywords"));
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_mainwindow.moc"
