// The keyword list's own tools through the real window: copying rows, taking
// dropped and opened files, removing repeated keywords, where each count came
// from, and gathering only the counts that are missing.

#include "StatsTestSupport.h"
#include "app/TApplication.h"
#include "base/ListActions.h"
#include "stats/CsvReader.h"
#include "stats/CsvWriter.h"
#include "stats/FOpenResults.h"
#include "stats/GatherData.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The bytes Save Results writes for rows that carry only their texts.
QByteArray CsvOfTexts(const TKeywordList &list)
{
    TKeywordList plain;
    std::vector<KeywordRow> rows;
    for (const KeywordRow &r : list.rows()) {
        KeywordRow copy;
        copy.Texts = r.Texts;
        rows.push_back(copy);
    }
    plain.appendRows(std::move(rows));
    return CsvText(plain);
}

void SaveScreen(const QString &name)
{
    QString dir = qEnvironmentVariable("TARNWICK_SHOTS");
    if (dir.isEmpty())
        dir = QDir::currentPath() + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    QGuiApplication::primaryScreen()->grabWindow(0).save(dir + QLatin1Char('/') + name +
                                                         QStringLiteral(".png"));
}

} // namespace

class TestListTools : public QObject, MainWindowFixture
{
    Q_OBJECT

    QString path(const QString &name) const { return folder.filePath(name); }
    QString writeFile(const QString &name, const QByteArray &data)
    {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return f.fileName();
    }
    void addRow(const QByteArrayList &texts)
    {
        list().addRow(texts.value(0), texts.value(1));
        for (int c = 2; c < texts.size(); ++c)
            list().setText(list().count() - 1, c + 1, texts[c]);
    }
    void gather(int searchType, QAction *action = nullptr)
    {
        ModalScript script;
        AnswerSearchType(script, searchType);
        if (action)
            action->trigger();
        else
            QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
        QVERIFY(script.steps.isEmpty());
    }
    void selectRows(const QList<int> &rows)
    {
        w->lvwItems->clearSelection();
        for (int r : rows)
            w->lvwItems->selectionModel()->select(cell(r, 0), QItemSelectionModel::Select |
                                                                  QItemSelectionModel::Rows);
    }
    QString pressCtrlC()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("<untouched>"));
        w->lvwItems->setFocus();
        QTest::keyClick(w->lvwItems, Qt::Key_C, Qt::ControlModifier);
        return QGuiApplication::clipboard()->text();
    }
    void drop(const QStringList &paths)
    {
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls.append(QUrl::fromLocalFile(p));
        QMimeData mime;
        mime.setUrls(urls);
        QWidget *viewport = w->lvwItems->viewport();
        const QPoint at(viewport->width() / 2, viewport->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &dropped);
        QVERIFY(dropped.isAccepted());
        // The files are taken once the drop has ended.
        QCoreApplication::processEvents();
    }
    void saveAs(const QString &file)
    {
        ModalScript script;
        script.then([&](QDialog &d) {
            d.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file);
            auto *buttons = d.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
            QTest::mouseClick(buttons->button(QDialogButtonBox::Save), Qt::LeftButton);
        });
        QTest::mouseClick(w->btnSaveResults, Qt::LeftButton);
        QCOMPARE(script.opened, 1);
    }
    // A cell as the window shows it (the view's row, which is the list's
    // row while no filter is on).
    QModelIndex cell(int row, int column) { return w->lvwItems->model()->index(row, column); }
    QString tooltip(int row, int column)
    {
        return cell(row, column).data(Qt::ToolTipRole).toString();
    }
    bool failed(int row, int column)
    {
        return cell(row, column).data(TKeywordList::CountFailedRole).toBool();
    }
    QPoint cellCentre(int row, int column)
    {
        return w->lvwItems->visualRect(cell(row, column)).center();
    }
    void fault(const std::string &prefix, int status, int times)
    {
        sandbox::Fault f;
        f.pathPrefix = prefix;
        f.status = status;
        f.times = times;
        box.addFault(f);
    }
    // The keyword of every engine request since the last clear, as
    // "engine:query".
    QStringList requestLog()
    {
        QStringList out;
        for (const sandbox::RecordedRequest &r : box.requests())
            out.append(QString::fromStdString(r.path.substr(1, r.path.find('/', 1) - 1) + ':' +
                                              r.query.substr(2)));
        return out;
    }

private slots:
    void initTestCase() { QVERIFY(startBox()); }
    void init() { QVERIFY(freshWindow()); }
    void cleanup() { w.reset(); }

    // ---- copy ---------------------------------------------------------------

    void copyText_quotesWhatSpreadsheetsWouldSplit_data()
    {
        QTest::addColumn<QByteArray>("keyword");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << QByteArray("golf clubs") << QStringLiteral("golf clubs");
        QTest::newRow("comma stays bare")
            << QByteArray("golf, soccer") << QStringLiteral("golf, soccer");
        QTest::newRow("tab") << QByteArray("golf\tclubs") << QStringLiteral("\"golf\tclubs\"");
        QTest::newRow("line feed")
            << QByteArray("golf\nclubs") << QStringLiteral("\"golf\nclubs\"");
        QTest::newRow("carriage return")
            << QByteArray("golf\r\nclubs") << QStringLiteral("\"golf\r\nclubs\"");
        QTest::newRow("quotes doubled")
            << QByteArray("the \"best\" golf") << QStringLiteral("\"the \"\"best\"\" golf\"");
        QTest::newRow("8-bit bytes shown as on screen")
            << QByteArray("caf\xE9") << QStringLiteral(u"café");
    }
    void copyText_quotesWhatSpreadsheetsWouldSplit()
    {
        QFETCH(QByteArray, keyword);
        QFETCH(QString, field);
        TKeywordList l;
        l.addRow(keyword, "1,234");
        QCOMPARE(CopyText(l, {0}),
                 QStringLiteral("No\tKeywords\tSearches\tGoogle\tYahoo\tMsn\n1\t") + field +
                     QStringLiteral("\t1,234\t\t\t"));
    }

    void copy_selectedThenCheckedThenNothing()
    {
        addRow({"golf", "10", "1,100", "2,200", "3,300"});
        addRow({"golf\tclubs", "20"});
        addRow({"golf\nbag", "", "5"});
        addRow({"tennis"});
        const QString header = QStringLiteral("No\tKeywords\tSearches\tGoogle\tYahoo\tMsn");

        // Rows are selected apart from their check marks, and in list order
        // whatever order they were picked in.
        list().setChecked(3, true);
        selectRows({2, 0});
        QCOMPARE(pressCtrlC(), header + QStringLiteral("\n1\tgolf\t10\t1,100\t2,200\t3,300"
                                                       "\n3\t\"golf\nbag\"\t\t5\t\t"));
        QVERIFY(!list().row(0).Checked && !list().row(2).Checked);

        // Without a selection the checked rows go.
        w->lvwItems->clearSelection();
        list().setChecked(1, true);
        QCOMPARE(pressCtrlC(),
                 header + QStringLiteral("\n2\t\"golf\tclubs\"\t20\t\t\t\n4\ttennis\t\t\t\t"));

        // Neither: the menu's Copy is disabled and the keys copy nothing.
        list().setAllChecked(false);
        emit w->lvwItems->customContextMenuRequested(cellCentre(0, 1));
        QTRY_VERIFY(w->mnuItems->isVisible());
        QVERIFY(!w->actCopy->isEnabled());
        w->mnuItems->close();
        QCOMPARE(pressCtrlC(), QStringLiteral("<untouched>"));

        // The menu's Copy does what the keys do.
        selectRows({3});
        QVERIFY(w->actCopy->isEnabled());
        w->actCopy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 header + QStringLiteral("\n4\ttennis\t\t\t\t"));
    }

    void selection_isNotTheCheckMark()
    {
        for (const char *k : {"a", "b", "c"})
            list().addRow(k);
        // Shift-click selects a range, a click in the box still checks.
        QTest::mouseClick(w->lvwItems->viewport(), Qt::LeftButton, {}, cellCentre(0, 1));
        QTest::mouseClick(w->lvwItems->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          cellCentre(2, 1));
        QCOMPARE(w->lvwItems->SelectedRows(), (std::vector<int>{0, 1, 2}));
        list().setChecked(1, true);
        msg.answers = {MsgResult::Ok};
        QTest::mouseClick(w->bsSkinButton3, Qt::LeftButton);
        QCOMPARE(list().count(), 2);
        QCOMPARE(text(1, KeywordRow::Keywords), QByteArray("c"));
    }

    void contextMenu_screenshot()
    {
        for (int i = 1; i <= 12; ++i)
            addRow({"golf " + QByteArray::number(i), QByteArray::number(i * 110)});
        selectRows({1, 2});
        const QPoint at = cellCentre(2, 1);
        emit w->lvwItems->customContextMenuRequested(at);
        QTRY_VERIFY(w->mnuItems->isVisible());
        QStringList texts;
        for (QAction *a : w->mnuItems->actions())
            if (!a->isSeparator())
                texts.append(a->text());
        QCOMPARE(texts.mid(0, 4), (QStringList{"Copy", "Open Results...", "Remove Duplicates",
                                               "Gather Missing Counts"}));
        for (const char *more :
             {"Reopen Last List", "Options...", "Remove Duplicates in Any Word Order", "Filter...",
              "Delete Hidden Rows", "Show KEI", "KEI Engine", "KEI Bands...", "Export to Excel..."})
            QVERIFY2(texts.contains(QLatin1String(more)), more);
        QCOMPARE(w->mnuItems->pos(), w->lvwItems->viewport()->mapToGlobal(at));
        QTest::qWait(50);
        SaveShot(*w->mnuItems, QStringLiteral("list-context-menu"));
        SaveScreen(QStringLiteral("list-context-menu-on-window"));
        w->mnuItems->close();
    }

    // ---- dropped and opened files ------------------------------------------

    void dropTextFile_addsLinesAsTheImportDoes()
    {
        addRow({"first"});
        drop({writeFile(QStringLiteral("k.txt"), "golf\r\n\r\n tennis ,x\n")});
        QCOMPARE(list().count(), 4);
        const QByteArrayList keywords = {"first", "golf", "", " tennis ,x"};
        for (int r = 0; r < 4; ++r) {
            QCOMPARE(text(r, KeywordRow::No), QByteArray::number(r + 1));
            QCOMPARE(text(r, KeywordRow::Keywords), keywords[r]);
        }
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("Total: 4"));
        QVERIFY(msg.shown.isEmpty());
    }

    void dropSavedCsv_roundTripGivesTheSameBytes()
    {
        addRow({"golf", "1,234", "2,200,000", "990,000", "264,000"});
        addRow({"say \"hi\"", "", "", "", "7"});
        addRow({"two\r\nlines, a comma", "5"});
        addRow({"caf\xE9 \xA0"});
        list().sortByColumn(KeywordRow::Searches, false); // numbers out of order
        const QString first = path(QStringLiteral("first.csv"));
        saveAs(first);
        const QByteArray saved = readAll(first);
        QCOMPARE(saved.count("\r\n"), 6); // the header, four rows, one inside a keyword

        msg.answers = {MsgResult::Ok};
        QTest::mouseClick(w->bsSkinButton4, Qt::LeftButton);
        QCOMPARE(list().count(), 0);
        drop({first});
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("4 items listed"));
        const QString second = path(QStringLiteral("second.csv"));
        saveAs(second);
        QCOMPARE(readAll(second), saved);

        // Appended after what is there, "No" as saved, unchecked.
        drop({first});
        QCOMPARE(list().count(), 8);
        QCOMPARE(text(4, KeywordRow::No), text(0, KeywordRow::No));
        QCOMPARE(text(7, KeywordRow::Keywords), text(3, KeywordRow::Keywords));
        QVERIFY(!list().row(5).Checked);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("8 items listed"));
    }

    void openResults_usesTheOpenDialog()
    {
        TKeywordList saved;
        saved.addRow("golf", "12");
        writeFile(QStringLiteral("results.csv"), CsvText(saved));
        ModalScript script;
        QString title, filter;
        bool native = true;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TOpenResultsDialog &>(d);
            title = dlg.windowTitle();
            filter = dlg.selectedNameFilter();
            native = !dlg.testOption(QFileDialog::DontUseNativeDialog);
            dlg.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
                ->setText(QStringLiteral("results.csv"));
            auto *buttons = dlg.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
            QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
        });
        w->actOpenResults->trigger();
        QCOMPARE(title, QStringLiteral("Open file"));
        QCOMPARE(filter, QStringLiteral("CSV files (*.csv)"));
        QVERIFY(!native);
        QCOMPARE(list().count(), 1);
        QCOMPARE(text(0, KeywordRow::Searches), QByteArray("12"));

        // Cancel takes nothing.
        script.then([](QDialog &d) { d.reject(); });
        w->actOpenResults->trigger();
        QCOMPARE(list().count(), 1);
    }

    void refusedFile_leavesListAlone_data()
    {
        const QByteArray header =
            "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n";
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("notice");
        const QString foreign = QStringLiteral("is not a results file saved by this program");
        const QString binary = QStringLiteral("is neither a keyword list nor a results file");
        QTest::newRow("another program's csv")
            << "other.csv" << QByteArray("Keyword,Count\r\ngolf,12\r\n") << foreign;
        QTest::newRow("our header in other case")
            << "case.csv"
            << QByteArray("\"no\",\"keywords\",\"searches\",\"google\",\"yahoo\",\"msn\"\r\n")
            << foreign;
        QTest::newRow("header with LF only")
            << "lf.csv" << QByteArray(header).replace("\r\n", "\n") << foreign;
        QTest::newRow("a row short of a field")
            << "short.txt" << header + "\"1\",\"golf\",\"\",\"\",\"\"\r\n"
            << foreign;
        QTest::newRow("an unquoted field")
            << "bare.csv" << header + "1,\"golf\",\"\",\"\",\"\",\"\"\r\n"
            << foreign;
        QTest::newRow("a lone quote in a field")
            << "quote.csv" << header + "\"1\",\"go\"lf\",\"\",\"\",\"\",\"\"\r\n"
            << foreign;
        QTest::newRow("cut off after the last field")
            << "cut.csv" << header + "\"1\",\"golf\",\"\",\"\",\"\",\"\"" << foreign;
        QTest::newRow("empty csv") << "empty.csv" << QByteArray() << foreign;
        QTest::newRow("picture") << "photo.txt" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                 << binary;
        QTest::newRow("text with a zero byte")
            << "zero.dat" << QByteArray("golf\0tennis", 11) << binary;
        QTest::newRow("missing file") << "" << QByteArray() << QStringLiteral("cannot be read");
    }
    void refusedFile_leavesListAlone()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, data);
        QFETCH(QString, notice);
        addRow({"golf", "1", "2", "3", "4"});
        w->SetRowCountText(QStringLiteral("1 items listed"));
        const QByteArray before = CsvText(list());
        const QString file =
            name.isEmpty() ? path(QStringLiteral("gone.txt")) : writeFile(name, data);
        // A good file beside a bad one is not taken either.
        const QString good = writeFile(QStringLiteral("good.txt"), "tennis\n");
        drop({good, file});
        QCOMPARE(msg.shown.size(), 1);
        QVERIFY2(msg.shown[0].text.contains(notice), qPrintable(msg.shown[0].text));
        QVERIFY(msg.shown[0].text.contains(QDir::toNativeSeparators(file)));
        QCOMPARE(msg.shown[0].buttons, MsgButtons::Ok);
        QCOMPARE(CsvText(list()), before);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("1 items listed"));
    }

    void dragOfSomethingElse_isNotAccepted()
    {
        QMimeData mime;
        mime.setText(QStringLiteral("golf"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w->lvwItems->viewport(), &enter);
        QVERIFY(!enter.isAccepted());
        mime.setUrls({QUrl(QStringLiteral("http://127.0.0.1/list.txt"))});
        QDragEnterEvent remote(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w->lvwItems->viewport(), &remote);
        QVERIFY(!remote.isAccepted());
    }

    // ---- duplicates -----------------------------------------------------------

    void removeDuplicates_caseAndSpacing_cancelThenOk()
    {
        addRow({"Golf Clubs", "100", "1"});
        addRow({"golf  clubs", "200"});
        addRow({"tennis"});
        addRow({" GOLF\tclubs "});
        addRow({"golfclubs"});
        addRow({"Tennis", "", "", "9"});
        addRow({"caf\xE9"});     // 8-bit
        addRow({"CAF\xC3\x89"}); // the same word in UTF-8, upper case
        list().setChecked(1, true);
        const QByteArray before = CsvText(list());

        msg.answers = {MsgResult::Cancel};
        w->actRemoveDuplicates->trigger();
        QCOMPARE(msg.shown.size(), 1);
        QCOMPARE(msg.shown[0].buttons, MsgButtons::OkCancel);
        QVERIFY2(msg.shown[0].text.startsWith(QStringLiteral("4 of the 8 rows")),
                 qPrintable(msg.shown[0].text));
        QCOMPARE(CsvText(list()), before);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("8 items listed"));

        msg.clear();
        msg.answers = {MsgResult::Ok};
        w->actRemoveDuplicates->trigger();
        QByteArrayList kept;
        for (const KeywordRow &r : list().rows())
            kept.append(r[KeywordRow::No] + ':' + r[KeywordRow::Keywords]);
        QCOMPARE(kept, (QByteArrayList{"1:Golf Clubs", "3:tennis", "5:golfclubs", "7:caf\xE9"}));
        QCOMPARE(text(0, KeywordRow::Google), QByteArray("1"));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("4 items listed"));

        // Nothing repeated: a notice, no question.
        msg.clear();
        w->actRemoveDuplicates->trigger();
        QCOMPARE(msg.shown.size(), 1);
        QCOMPARE(msg.shown[0].buttons, MsgButtons::Ok);
        QCOMPARE(list().count(), 4);
    }

    // ---- where counts come from ----------------------------------------------

    void tooltips_tellWhereEachCountCameFrom()
    {
        list().addRow("golf clubs");
        list().addRow("tennis");
        QCOMPARE(tooltip(0, KeywordRow::Google), QString()); // never asked
        QCOMPARE(tooltip(0, KeywordRow::Keywords), QString());

        const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
        gather(0);
        const QDateTime end = QDateTime::currentDateTime().addSecs(1);
        for (int c = KeywordRow::Google; c <= KeywordRow::Msn; ++c) {
            const QString tip = tooltip(1, c);
            QVERIFY2(tip.startsWith(QStringLiteral("precise search, ")), qPrintable(tip));
            const QDateTime when =
                QDateTime::fromString(tip.mid(16), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            QVERIFY2(when >= start && when <= end, qPrintable(tip));
            QVERIFY(!failed(1, c));
        }

        // Broad; Yahoo's page without its count, MSN not reached.
        fault("/yahoo", 200, 1);
        fault("/msn", 404, 1);
        const QByteArray preciseMsn = text(0, KeywordRow::Msn);
        gather(1);
        QVERIFY(tooltip(0, KeywordRow::Google).startsWith(QStringLiteral("broad search, ")));
        QCOMPARE(text(0, KeywordRow::Yahoo), QByteArray());
        QCOMPARE(tooltip(0, KeywordRow::Yahoo), QStringLiteral("the page showed no count"));
        QCOMPARE(text(0, KeywordRow::Msn), preciseMsn);
        // The client's reason, not the status bar's general text.
        QCOMPARE(tooltip(0, KeywordRow::Msn), QStringLiteral("no answer: HTTP 404 Not Found"));
        QVERIFY(failed(0, KeywordRow::Msn));
        QVERIFY(!failed(0, KeywordRow::Yahoo));
        QVERIFY(tooltip(1, KeywordRow::Msn).startsWith(QStringLiteral("broad search, ")));

        // The skin's warning colour behind the failed cell only.
        QTest::qWait(20);
        const QImage shot = w->lvwItems->viewport()->grab().toImage();
        const QRect failedCell = w->lvwItems->visualRect(cell(0, KeywordRow::Msn));
        const QRect goodCell = w->lvwItems->visualRect(cell(1, KeywordRow::Msn));
        const qreal ratio = shot.devicePixelRatio();
        auto pixel = [&](const QRect &r) {
            return shot.pixelColor(QPoint(int((r.left() + 3) * ratio), int((r.top() + 3) * ratio)));
        };
        QCOMPARE(pixel(failedCell), QColor(0xf3, 0xd9, 0xb1));
        QCOMPARE(pixel(goodCell), QColor(Qt::white));

        // Hovering shows it, as the user sees it.
        QHelpEvent help(QEvent::ToolTip, failedCell.center(),
                        w->lvwItems->viewport()->mapToGlobal(failedCell.center()));
        QApplication::sendEvent(w->lvwItems->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), tooltip(0, KeywordRow::Msn));
        QTest::qWait(50);
        SaveScreen(QStringLiteral("list-tooltip-failed-cell"));
        QToolTip::hideText();

        // Sorting carries each cell's history with its row, and nothing of it
        // reaches the file.
        ClickHeader(*w, KeywordRow::Keywords);
        ClickHeader(*w, KeywordRow::Keywords);
        QCOMPARE(text(1, KeywordRow::Keywords), QByteArray("golf clubs"));
        QVERIFY(failed(1, KeywordRow::Msn));
        const QString file = path(QStringLiteral("history.csv"));
        saveAs(file);
        QCOMPARE(readAll(file), CsvOfTexts(list()));
    }

    void stop_leavesTheCellsHistoryAsItWas()
    {
        list().addRow("golf");
        gather(0);
        const QString before = tooltip(0, KeywordRow::Yahoo);
        sandbox::Fault hold;
        hold.pathPrefix = "/yahoo";
        hold.delayBeforeMs = 400;
        box.addFault(hold);
        WhenRequested stop(
            box, [](const auto &seen) { return seen.size() >= 5; },
            [&] { QTest::mouseClick(w->btnGatherData, Qt::LeftButton); });
        gather(1);
        QVERIFY(stop.fired());
        QCOMPARE(tooltip(0, KeywordRow::Yahoo), before);
        QVERIFY(!failed(0, KeywordRow::Yahoo));
    }

    // ---- gather missing counts -------------------------------------------------

    void gatherMissing_asksExactlyWhatIsMissing()
    {
        for (const char *k : {"golf", "tennis", "polo shirts"})
            list().addRow(k);
        fault("/yahoo", 404, 2); // golf and tennis
        sandbox::Fault shortMsn;
        shortMsn.pathPrefix = "/msn";
        shortMsn.pageSize = 40;
        shortMsn.times = 1; // golf's MSN page lacks its count
        box.addFault(shortMsn);
        gather(0);
        QVERIFY(failed(0, KeywordRow::Yahoo) && failed(1, KeywordRow::Yahoo));
        QCOMPARE(tooltip(0, KeywordRow::Msn), QStringLiteral("the page showed no count"));

        box.clearFaults();
        box.clearRequests();
        bool runningState = false;
        WhenRequested during(
            box, [](const auto &seen) { return !seen.empty(); },
            [&] {
                runningState = w->btnGatherData->text() == QStringLiteral("Stop") &&
                               !w->actGatherMissing->isEnabled() &&
                               !w->actRemoveDuplicates->isEnabled() &&
                               !w->bsSkinButton3->isEnabled() && !w->actOpenResults->isEnabled() &&
                               !w->lvwItems->dropsEnabled();
            });
        gather(0, w->actGatherMissing);
        QVERIFY(during.fired() && runningState);
        // The page that showed no count was an answer: it is not asked again.
        QCOMPARE(requestLog(), (QStringList{"yahoo:%22golf%22", "yahoo:%22tennis%22"}));
        QCOMPARE(w->MainStatusPanel->text(),
                 QStringLiteral("Missing counts gathered. 1 cell whose page showed no count was "
                                "left as it was."));
        QCOMPARE(w->btnGatherData->text(), QStringLiteral("Gather Data"));
        QVERIFY(w->actGatherMissing->isEnabled() && w->actRemoveDuplicates->isEnabled());
        QVERIFY(w->actOpenResults->isEnabled() && w->lvwItems->dropsEnabled());
        for (int r = 0; r < list().count(); ++r)
            for (int e = 0; e < 3; ++e)
                QCOMPARE(text(r, KeywordRow::Google + e),
                         r == 0 && e == 2
                             ? QByteArray()
                             : ExpectedCount(EngineNames[e], text(r, KeywordRow::Keywords), 0));

        // Complete: nothing is sent and the status bar says so.
        box.clearRequests();
        gather(0, w->actGatherMissing);
        QVERIFY(box.requests().empty());
        QCOMPARE(w->MainStatusPanel->text(),
                 QStringLiteral("Every count is already there: no request was sent. 1 cell whose "
                                "page showed no count was left as it was."));
        // A broad run asks it again: the answer was for the precise search.
        QVERIFY(NeedsCount(list(), 0, TEngine::Msn, 1));
        QCOMPARE(w->btnGatherData->text(), QStringLiteral("Gather Data"));

        // Broad counts are missing for every cell answered precisely.
        QCOMPARE(MissingCountRequests(list(), 1), 3 * list().count());
        const QString file = path(QStringLiteral("missing.csv"));
        saveAs(file);
        QCOMPARE(readAll(file), CsvOfTexts(list()));
    }

    void gatherMissing_reopenedCountsCountAsThere()
    {
        TKeywordList saved;
        saved.addRow("golf");
        saved.setText(0, KeywordRow::Google, "12");
        saved.setText(0, KeywordRow::Yahoo, "7");
        drop({writeFile(QStringLiteral("old.csv"), CsvText(saved))});
        box.clearRequests();
        gather(1, w->actGatherMissing);
        QCOMPARE(requestLog(), QStringList{"msn:golf"});
        // Cancel asks nothing; an empty list gets Gather Data's notice.
        box.clearRequests();
        gather(-1, w->actGatherMissing);
        QVERIFY(box.requests().empty());
        list().deleteAll();
        w->actGatherMissing->trigger();
        QCOMPARE(msg.texts().value(0),
                 QStringLiteral("You need add keywords to gather data from search engines."));
    }
};

int main(int argc, char **argv)
{
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    app.setQuitOnLastWindowClosed(false);
    TestListTools test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_listtools.moc"
