// What the list shows beyond its rows, through the real window: the KEI
// column and its bands, the filter bar, Delete Hidden Rows, duplicates in
// another word order and the Excel export, read back by an independent
// reader.

#include "StatsTestSupport.h"
#include "app/TApplication.h"
#include "base/KeywordFilter.h"
#include "base/ListActions.h"
#include "keywords/KeywordFile.h"
#include "stats/CsvWriter.h"
#include "stats/FListViewTools.h"
#include "stats/XlsxExport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The independent reader: every cell of the first sheet with its type and
// fill, the frozen cell and the autofilter's range, as JSON.
const char *const ReadBack = R"PY(
import json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
rows = []
for row in sheet.iter_rows():
    cells = []
    for c in row:
        fill = c.fill.fgColor.rgb if c.fill is not None and c.fill.fill_type == 'solid' else None
        cells.append({'v': c.value, 't': c.data_type, 'fill': fill if isinstance(fill, str) else None,
                      'bold': bool(c.font.b)})
    rows.append(cells)
print(json.dumps({'rows': rows, 'freeze': sheet.freeze_panes, 'filter': sheet.auto_filter.ref}))
)PY";

bool HaveReader(QString &why)
{
    if (!QFile::exists(QStringLiteral("/usr/bin/python3"))) {
        why = QStringLiteral("/usr/bin/python3 is missing");
        return false;
    }
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        why = QStringLiteral("openpyxl is missing (Debian's python3-openpyxl)");
        return false;
    }
    return true;
}

QJsonObject ReadXlsx(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QString::fromLatin1(ReadBack), file});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning() << p.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QString Rgb(const QColor &c)
{
    return QStringLiteral("FF") + c.name().mid(1).toUpper();
}

} // namespace

class TestListView : public QObject, MainWindowFixture
{
    Q_OBJECT

    TListViewTools &tools() { return *w->ListTools(); }
    TKeywordViewModel &view() { return tools().viewModel(); }
    QString path(const QString &name) const { return folder.filePath(name); }

    // keyword, searches, google, yahoo, msn
    void addRow(const QByteArrayList &t)
    {
        list().addRow(t.value(0), t.value(1));
        for (int c = 2; c < t.size(); ++c)
            list().setText(list().count() - 1, c + 1, t[c]);
    }
    QStringList shownKeywords()
    {
        QStringList out;
        for (int r = 0; r < view().rowCount(); ++r)
            out.append(view().index(r, KeywordRow::Keywords).data().toString());
        return out;
    }
    QString keiCell(int row)
    {
        return view().index(row, TKeywordViewModel::KeiColumn).data().toString();
    }
    QString keiTip(int row)
    {
        return view().index(row, TKeywordViewModel::KeiColumn).data(Qt::ToolTipRole).toString();
    }
    void showKei()
    {
        if (!tools().actShowKei->isChecked())
            tools().actShowKei->trigger();
        QVERIFY(!w->lvwItems->isColumnHidden(TKeywordViewModel::KeiColumn));
    }
    void applyBar(const std::function<void()> &fill)
    {
        clearBar();
        fill();
        QTest::mouseClick(tools().btnApplyFilter, Qt::LeftButton);
        QTRY_VERIFY(!view().isApplying());
    }
    void clearBar()
    {
        tools().chkNegative->setChecked(false);
        for (QLineEdit *e : {tools().edtMustContain, tools().edtMinSearches, tools().edtMaxCount,
                             tools().edtMinKei})
            e->clear();
        tools().spnMinWords->setValue(0);
        tools().spnMaxWords->setValue(0);
        tools().cboCountEngine->setCurrentIndex(0);
    }
    void setNegativeWords(const QString &lines)
    {
        ModalScript script;
        script.then([&](QDialog &d) {
            child<QPlainTextEdit>(d, "edtNegativeWords")->setPlainText(lines);
            QTest::mouseClick(child<QDialogButtonBox>(d, "buttonBox")->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        });
        QTest::mouseClick(tools().btnNegative, Qt::LeftButton);
        QCOMPARE(script.opened, 1);
    }
    void saveFileVia(QAction *action, const QString &file)
    {
        ModalScript script;
        script.then([&](QDialog &d) {
            d.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file);
            auto *buttons = d.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
            QTest::mouseClick(buttons->button(QDialogButtonBox::Save), Qt::LeftButton);
        });
        if (action)
            action->trigger();
        else
            QTest::mouseClick(w->btnSaveResults, Qt::LeftButton);
        QCOMPARE(script.opened, 1);
    }
    QString copyShown()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("<untouched>"));
        w->UpdateCopyAction();
        w->actCopy->trigger();
        return QGuiApplication::clipboard()->text();
    }
    QColor pixelOf(int viewRow, int column)
    {
        QTest::qWait(20);
        const QImage shot = w->lvwItems->viewport()->grab().toImage();
        const QRect r = w->lvwItems->visualRect(view().index(viewRow, column));
        const qreal ratio = shot.devicePixelRatio();
        return shot.pixelColor(QPoint(int((r.left() + 3) * ratio), int((r.top() + 3) * ratio)));
    }
    void golfRows()
    {
        addRow({"golf shoes", "1,000", "10,000", "500", "20"});   // KEI 100 / 2000 / 50000
        addRow({"cheap golf clubs", "300", "9,000", "", "0"});    // 10
        addRow({"golfer gifts", "50", "1,000", "5", "2"});        // 2.5
        addRow({"Golf Shoes for women", "", "40", "4", "4"});     // none
        addRow({"caf\xc3\xa9 golf", "2,000", "100", "90", "70"}); // 40000
    }

private slots:
    void initTestCase() { QVERIFY(startBox()); }
    void init()
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarnwick"),
                  QStringLiteral("list"))
            .clear();
        QVERIFY(freshWindow());
    }
    void cleanup() { w.reset(); }

    // ---- KEI ---------------------------------------------------------------

    void kei_offByDefaultValuesEmptyCasesAndRemembered()
    {
        QVERIFY(w->lvwItems->isColumnHidden(TKeywordViewModel::KeiColumn));
        addRow({"a", "1,000", "10,000"});
        addRow({"b", "30", "7"});
        addRow({"c", "", "5"});
        addRow({"d", "5", ""});
        addRow({"e", "5", "0"});
        addRow({"f", "3,000,000,000", "3"}); // the square needs more than 64 bits
        addRow({"g", "7", "many"});
        showKei();
        QCOMPARE(view().headerData(TKeywordViewModel::KeiColumn, Qt::Horizontal).toString(),
                 QStringLiteral("KEI"));
        QCOMPARE(keiCell(0), QStringLiteral("100"));
        QCOMPARE(keiCell(1), QStringLiteral("128.57"));
        QCOMPARE(keiCell(2), QString());
        QCOMPARE(keiTip(2), QStringLiteral("No KEI: the row has no Searches count."));
        QCOMPARE(keiTip(3), QStringLiteral("No KEI: the row has no Google count."));
        QCOMPARE(keiTip(4), QStringLiteral("No KEI: the Google count is 0."));
        QCOMPARE(keiCell(5), QStringLiteral("3000000000000000000"));
        QCOMPARE(keiTip(6), QStringLiteral("No KEI: the row has no Google count."));
        QCOMPARE(KeiText(0.333), QStringLiteral("0.33"));
        QCOMPARE(KeiText(12.5), QStringLiteral("12.5"));
        QCOMPARE(KeiText(2.999), QStringLiteral("3"));

        // Yahoo instead: chosen from the menu and kept for the next window.
        addRow({"h", "10", "1", "4"});
        w->ListTools()->actKeiEngine[1]->trigger();
        QCOMPARE(keiCell(7), QStringLiteral("25"));
        QCOMPARE(keiTip(0), QStringLiteral("No KEI: the row has no Yahoo count."));

        // KEI is the view's: the results file and Copy keep six columns.
        const QString file = path(QStringLiteral("kei.csv"));
        saveFileVia(nullptr, file);
        QCOMPARE(readAll(file), CsvText(list()));
        QVERIFY(!readAll(file).contains("KEI"));
        list().setAllChecked(true);
        w->lvwItems->clearSelection();
        QCOMPARE(copyShown().section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("No\tKeywords\tSearches\tGoogle\tYahoo\tMsn"));

        QVERIFY(openWindow());
        QVERIFY(!w->lvwItems->isColumnHidden(TKeywordViewModel::KeiColumn));
        QCOMPARE(view().keiOptions().EngineColumn, int(KeywordRow::Yahoo));
        QVERIFY(tools().actKeiEngine[1]->isChecked());
        tools().actShowKei->trigger();
        QVERIFY(openWindow());
        QVERIFY(w->lvwItems->isColumnHidden(TKeywordViewModel::KeiColumn));
    }

    void kei_sortsAsNumbersOverTheWholeList()
    {
        addRow({"a", "10", "1"});            // 100
        addRow({"b", "3,000,000,000", "1"}); // 9e18
        addRow({"c", "", "1"});              // none
        addRow({"d", "2", "1"});             // 4
        addRow({"e", "30", "100"});          // 9
        showKei();
        // A filter on: the sort still orders every row.
        applyBar([&] { tools().edtMinSearches->setText(QStringLiteral("5")); });
        ClickHeader(*w, TKeywordViewModel::KeiColumn);
        QCOMPARE(shownKeywords(), (QStringList{"e", "a", "b"}));
        QCOMPARE(list().text(0, KeywordRow::Keywords), QByteArray("c")); // no KEI first
        ClickHeader(*w, TKeywordViewModel::KeiColumn);
        QCOMPARE(shownKeywords(), (QStringList{"b", "a", "e"}));
        QCOMPARE(list().text(4, KeywordRow::Keywords), QByteArray("c"));
        QTest::mouseClick(tools().btnClearFilter, Qt::LeftButton);
        QCOMPARE(shownKeywords(), (QStringList{"b", "a", "e", "d", "c"}));
    }

    // ---- bands -------------------------------------------------------------

    void bands_atAndAroundBothThresholds()
    {
        // Good from 10, excellent from 100: each threshold, just below and
        // just above it.
        const QList<QPair<QByteArrayList, QString>> rows = {
            {{"999", "99,900"}, "poor"},            // 9.99
            {{"10", "10"}, "good"},                 // 10
            {{"1001", "100,000"}, "good"},          // 10.02
            {{"9999", "1,000,000"}, "good"},        // 99.98
            {{"10", "1"}, "excellent"},             // 100
            {{"10001", "1,000,000"}, "excellent"}}; // 100.02
        for (const auto &r : rows)
            addRow({"k" + r.first[0], r.first[0], r.first[1]});
        showKei();
        const TKeywordView &v = *w->lvwItems;
        const QMap<QString, QColor> colour = {{"poor", v.keiPoorColor()},
                                              {"good", v.keiGoodColor()},
                                              {"excellent", v.keiExcellentColor()}};
        // The built-in look's colours are light: black text stays readable.
        for (const QColor &c : colour)
            QVERIFY(c.lightness() > 180);
        for (int i = 0; i < rows.size(); ++i) {
            QVERIFY2(keiTip(i).endsWith(QLatin1String(": ") + rows[i].second),
                     qPrintable(keiTip(i)));
            QCOMPARE(pixelOf(i, TKeywordViewModel::KeiColumn), colour[rows[i].second]);
        }
        QCOMPARE(keiCell(0), QStringLiteral("9.99"));
        QCOMPARE(keiCell(4), QStringLiteral("100"));
        // Other cells keep the list's own look; a cell without KEI has no band.
        QCOMPARE(pixelOf(0, KeywordRow::Google), QColor(Qt::white));
        addRow({"none", "", "100"});
        QCOMPARE(pixelOf(6, TKeywordViewModel::KeiColumn), QColor(Qt::white));

        // New thresholds from the dialog, kept for the next window.
        ModalScript script;
        script.then([](QDialog &d) {
            child<QLineEdit>(d, "edtExcellent")->setText(QStringLiteral("10.01"));
            child<QLineEdit>(d, "edtGood")->setText(QStringLiteral("10"));
            QTest::mouseClick(child<QDialogButtonBox>(d, "buttonBox")->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        });
        tools().actKeiBands->trigger();
        QVERIFY(keiTip(0).endsWith(QLatin1String(": poor")));
        QVERIFY(keiTip(1).endsWith(QLatin1String(": good")));
        QVERIFY(keiTip(2).endsWith(QLatin1String(": excellent")));
        // Good above excellent is refused with a reason.
        script.then([](QDialog &d) {
            child<QLineEdit>(d, "edtExcellent")->setText(QStringLiteral("5"));
            child<QLineEdit>(d, "edtGood")->setText(QStringLiteral("50"));
            QTest::mouseClick(child<QDialogButtonBox>(d, "buttonBox")->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        });
        tools().actKeiBands->trigger();
        QCOMPARE(msg.shown.size(), 1);
        QCOMPARE(view().keiOptions().Excellent, 10.01);
        QVERIFY(openWindow());
        QCOMPARE(view().keiOptions().Good, 10.0);
        QCOMPARE(view().keiOptions().Excellent, 10.01);

        // The skin sets the colours.
        w->lvwItems->setStyleSheet(
            QStringLiteral("#lvwItems { qproperty-keiGoodColor: #123456; }"));
        QCOMPARE(w->lvwItems->keiGoodColor(), QColor(0x12, 0x34, 0x56));
    }

    void bands_screenshotWithFilterBar()
    {
        golfRows();
        addRow({"golf balls", "800", "12,000", "900", "300"});
        addRow({"used golf carts", "120", "1,500", "20", "0"});
        showKei();
        w->pgcPrinc->setCurrentWidget(w->stsMain);
        QTest::keyClick(w->lvwItems, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(tools().filterBar()->isVisible());
        tools().edtMinSearches->setText(QStringLiteral("100"));
        QTest::mouseClick(tools().btnApplyFilter, Qt::LeftButton);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("5 shown, 2 hidden"));
        QTest::qWait(50);
        SaveShot(*w, QStringLiteral("list-kei-bands-filter-bar"));
    }

    // ---- filters -------------------------------------------------------------

    void filter_eachRuleAloneAndCombined()
    {
        golfRows();
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("0 item listed")); // set by commands
        w->SetRowCountText(ItemsListedText(list().count()));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("5 items listed"));

        // Negative words: whole words only, any case, phrases too.
        setNegativeWords(QStringLiteral("shoes\n  CHEAP  \n\ncafé golf"));
        applyBar([&] { tools().chkNegative->setChecked(true); });
        QCOMPARE(shownKeywords(), (QStringList{"golfer gifts"}));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("1 shown, 4 hidden"));
        QCOMPARE(list().count(), 5);

        applyBar([&] { tools().edtMustContain->setText(QStringLiteral("golf")); });
        QCOMPARE(shownKeywords(), (QStringList{"golf shoes", "cheap golf clubs",
                                               "Golf Shoes for women", "café golf"}));
        applyBar([&] { tools().edtMustContain->setText(QStringLiteral("golf, shoes")); });
        QCOMPARE(shownKeywords(), (QStringList{"golf shoes", "Golf Shoes for women"}));
        applyBar([&] { tools().spnMinWords->setValue(3); });
        QCOMPARE(shownKeywords(), (QStringList{"cheap golf clubs", "Golf Shoes for women"}));
        applyBar([&] { tools().spnMaxWords->setValue(2); });
        QCOMPARE(shownKeywords(), (QStringList{"golf shoes", "golfer gifts", "café golf"}));
        applyBar([&] { tools().edtMinSearches->setText(QStringLiteral("1,000")); });
        QCOMPARE(shownKeywords(), (QStringList{"golf shoes", "café golf"}));
        applyBar([&] { tools().edtMaxCount->setText(QStringLiteral("1000")); });
        QCOMPARE(shownKeywords(),
                 (QStringList{"golfer gifts", "Golf Shoes for women", "café golf"}));
        applyBar([&] {
            tools().cboCountEngine->setCurrentIndex(2); // Msn; "cheap golf clubs" has 0
            tools().edtMaxCount->setText(QStringLiteral("4"));
        });
        QCOMPARE(shownKeywords(),
                 (QStringList{"cheap golf clubs", "golfer gifts", "Golf Shoes for women"}));
        applyBar([&] { tools().edtMinKei->setText(QStringLiteral("10")); });
        QCOMPARE(shownKeywords(), (QStringList{"golf shoes", "cheap golf clubs", "café golf"}));

        // Combined: every rule has to let the row through.
        applyBar([&] {
            tools().chkNegative->setChecked(true);
            tools().edtMinKei->setText(QStringLiteral("10"));
            tools().spnMaxWords->setValue(3);
        });
        QCOMPARE(shownKeywords(), QStringList{});
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("0 shown, 5 hidden"));
        applyBar([&] {
            tools().edtMustContain->setText(QStringLiteral("golf"));
            tools().edtMinKei->setText(QStringLiteral("50"));
            tools().spnMaxWords->setValue(2);
        });
        QCOMPARE(shownKeywords(), (QStringList{"golf shoes", "café golf"}));

        // Cleared: every row, and the usual count text.
        QTest::mouseClick(tools().btnClearFilter, Qt::LeftButton);
        QCOMPARE(view().rowCount(), 5);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("5 items listed"));

        // The negative words are kept for the next window.
        QVERIFY(openWindow());
        golfRows();
        applyBar([&] { tools().chkNegative->setChecked(true); });
        QCOMPARE(shownKeywords(), (QStringList{"golfer gifts"}));
    }

    void filter_hiddenRowsStayThroughSortsChangesAndSaves()
    {
        golfRows();
        applyBar([&] { tools().edtMustContain->setText(QStringLiteral("golf")); });
        QCOMPARE(view().hiddenCount(), 1);
        ClickHeader(*w, KeywordRow::Keywords);
        QCOMPARE(shownKeywords(), (QStringList{"café golf", "cheap golf clubs", "golf shoes",
                                               "Golf Shoes for women"}));
        QCOMPARE(list().count(), 5);
        // A count that comes in lets a row through or hides it.
        applyBar([&] { tools().edtMaxCount->setText(QStringLiteral("5,000")); });
        QCOMPARE(shownKeywords(),
                 (QStringList{"café golf", "Golf Shoes for women", "golfer gifts"}));
        const int golfShoes = 2; // in the sorted list
        QCOMPARE(list().text(golfShoes, KeywordRow::Keywords), QByteArray("golf shoes"));
        list().setCount(golfShoes, KeywordRow::Google, "4,000",
                        TCountSource::Answered(0, true, {}));
        QCOMPARE(shownKeywords(),
                 (QStringList{"café golf", "golf shoes", "Golf Shoes for women", "golfer gifts"}));
        list().setCount(0, KeywordRow::Google, "6,000", TCountSource::Answered(0, true, {}));
        QCOMPARE(shownKeywords(),
                 (QStringList{"golf shoes", "Golf Shoes for women", "golfer gifts"}));
        // New rows are looked at as they come.
        addRow({"tiny golf", "1", "2"});
        addRow({"huge golf", "1", "20,000"});
        QCOMPARE(shownKeywords().last(), QStringLiteral("tiny golf"));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("4 shown, 3 hidden"));
        // Deleting checked rows shown or hidden keeps the mapping right.
        list().setChecked(0, true); // café golf, hidden
        list().setChecked(3, true); // Golf Shoes for women, shown
        w->bsSkinButton3->click();
        QCOMPARE(shownKeywords(), (QStringList{"golf shoes", "golfer gifts", "tiny golf"}));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("3 shown, 2 hidden"));

        // Save Results writes every row, hidden ones included, byte for byte.
        const QString file = path(QStringLiteral("all.csv"));
        saveFileVia(nullptr, file);
        QCOMPARE(readAll(file), CsvText(list()));
        QCOMPARE(readAll(file).count("\r\n"), 6);
    }

    void filter_gatherDataStillAsksForEveryRow()
    {
        for (const char *k : {"golf", "tennis", "polo"})
            list().addRow(k);
        applyBar([&] { tools().edtMustContain->setText(QStringLiteral("golf")); });
        QCOMPARE(view().rowCount(), 1);
        ModalScript script;
        AnswerSearchType(script, 1);
        QTest::mouseClick(w->btnGatherData, Qt::LeftButton);
        QCOMPARE(box.requests().size(), size_t(9));
        for (int r = 0; r < 3; ++r)
            QCOMPARE(text(r, KeywordRow::Google),
                     ExpectedCount("google", text(r, KeywordRow::Keywords), 1));
        QCOMPARE(view().rowCount(), 1);
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("1 shown, 2 hidden"));
    }

    void filter_selectAllCopyAndDeleteHiddenRows()
    {
        golfRows();
        applyBar([&] { tools().edtMustContain->setText(QStringLiteral("shoes")); });
        // Select All checks the rows that show.
        w->bsSkinButton1->click();
        for (int r = 0; r < list().count(); ++r)
            QCOMPARE(list().isChecked(r), r == 0 || r == 3);
        // Copy without a selection: the checked rows that show; with one,
        // the selected rows (which show) in list order.
        list().setChecked(1, true); // hidden, checked before: not copied
        w->lvwItems->clearSelection();
        QString copied = copyShown();
        QCOMPARE(copied.count(QLatin1Char('\n')), 2);
        QVERIFY(copied.contains(QLatin1String("golf shoes")) &&
                copied.contains(QLatin1String("Golf Shoes for women")));
        w->lvwItems->selectionModel()->select(view().index(1, 0), QItemSelectionModel::Select |
                                                                      QItemSelectionModel::Rows);
        QCOMPARE(w->lvwItems->SelectedRows(), std::vector<int>{3});
        copied = copyShown();
        QCOMPARE(copied.section(QLatin1Char('\n'), 1),
                 QStringLiteral("4\tGolf Shoes for women\t\t40\t4\t4"));

        // Delete Hidden Rows asks with the number; Cancel keeps them.
        msg.answers = {MsgResult::Cancel};
        tools().actDeleteHidden->trigger();
        QCOMPARE(msg.texts().value(0),
                 QStringLiteral("3 of the 5 rows are hidden by the filter and will be deleted. Do "
                                "you want to delete them?"));
        QCOMPARE(list().count(), 5);
        tools().actDeleteHidden->trigger();
        QCOMPARE(list().count(), 2);
        QCOMPARE(shownKeywords(), (QStringList{"golf shoes", "Golf Shoes for women"}));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("2 shown, 0 hidden"));
        msg.clear();
        tools().actDeleteHidden->trigger();
        QCOMPARE(msg.texts(), QStringList{QStringLiteral("No row is hidden by the filter.")});
        QCOMPARE(list().count(), 2);
    }

    void filter_bigListIsAppliedInSlicesAndKeepsUp()
    {
        std::vector<KeywordRow> rows(5000);
        for (int i = 0; i < 5000; ++i) {
            rows[size_t(i)][KeywordRow::No] = QByteArray::number(i + 1);
            rows[size_t(i)][KeywordRow::Keywords] =
                (i % 2 ? "red golf " : "blue golf ") + QByteArray::number(i);
        }
        list().appendRows(std::move(rows));
        view().setSliceRows(700);
        QSignalSpy applied(&view(), &TKeywordViewModel::filterApplied);
        TKeywordFilter f;
        f.NegativeWords = {QStringLiteral("red")};
        view().setFilter(f);
        QVERIFY(view().isApplying());
        QCOMPARE(view().rowCount(), 5000); // the old view stands until the new one is whole
        // Rows that come and go meanwhile are part of the result.
        list().addRow("blue golf late");
        list().addRow("red golf late");
        std::vector<bool> drop(size_t(list().count()), false);
        drop[0] = true;
        list().removeMarkedRows(drop);
        QTRY_COMPARE(applied.count(), 1);
        QCOMPARE(view().rowCount(), 2500);
        QCOMPARE(view().index(2499, 1).data().toString(), QStringLiteral("blue golf late"));
        QCOMPARE(view().hiddenCount(), 2501);
    }

    // ---- duplicates in another word order ------------------------------------

    void removeDuplicates_anyWordOrder()
    {
        for (const char *k : {"golf shoes", "Shoes  Golf", "golf shoes golf", "shoes golf golf",
                              "golf", "shoes", "golf shoes"})
            list().addRow(k);
        // Today's rule sees one repeat only.
        const std::vector<bool> sameText = DuplicateRows(list());
        QCOMPARE(std::count(sameText.begin(), sameText.end(), true), 1);
        msg.answers = {MsgResult::Cancel};
        tools().actRemoveWordOrder->trigger();
        QCOMPARE(msg.texts().value(0),
                 QStringLiteral("3 of the 7 rows repeat the words of an earlier row, in the same "
                                "or another order, and will be removed; the first row of each "
                                "stays. Do you want to remove them?"));
        QCOMPARE(list().count(), 7);
        tools().actRemoveWordOrder->trigger();
        QStringList left;
        for (int r = 0; r < list().count(); ++r)
            left.append(QString::fromUtf8(list().text(r, KeywordRow::Keywords)));
        QCOMPARE(left, (QStringList{"golf shoes", "golf shoes golf", "golf", "shoes"}));
        QCOMPARE(w->SecondStatusPanel->text(), QStringLiteral("4 items listed"));
    }

    // ---- a keyword file with a DOS end ------------------------------------------

    void dropKeywordFileEndingInDosEof_readAsAddKeywordsReadsIt()
    {
        const QByteArray data("golf\r\ntennis\r\n\x1a");
        QFile f(path(QStringLiteral("dos.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
        f.close();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(f.fileName())});
        QWidget *viewport = w->lvwItems->viewport();
        const QPoint at(viewport->width() / 2, viewport->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &dropped);
        QCoreApplication::processEvents();
        QVERIFY(msg.shown.isEmpty());
        TKeywordList imported;
        struct : IStatusBar
        {
            void SetMainStatus(const QString &) override {}
            void SetRowCountText(const QString &) override {}
        } quiet;
        AddKeywordsFromText(data, imported, quiet);
        QCOMPARE(CsvText(list()), CsvText(imported));

        // While a run goes on, drops are refused.
        w->lvwItems->setDropsEnabled(false);
        QDragEnterEvent refused(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &refused);
        QVERIFY(!refused.isAccepted());
    }

    // ---- Excel export ----------------------------------------------------------

    void export_shownRowsReadBackByAnIndependentReader()
    {
        QString why;
        if (!HaveReader(why))
            QSKIP(qPrintable(why));
        addRow({"say \"golf\"", "1,000", "10,000", "7", ""});  // KEI 100: excellent
        addRow({"tab\there", "30", "90", "many", "1"});        // 10: good
        addRow({"caf\xc3\xa9 \xe2\x82\xac", "5", "100", "0"}); // 0.25: poor
        addRow({"hidden row", "1", "1"});
        addRow({"caf\xe9 \x93quoted\x94", "", "3"}); // Windows-1252 bytes; no KEI
        showKei();
        applyBar([&] { tools().edtMustContain->setText(QStringLiteral("hidden")); });
        applyBar([&] {});
        applyBar([&] { tools().spnMinWords->setValue(1); }); // all rows
        TKeywordFilter notHidden;
        notHidden.NegativeWords = {QStringLiteral("hidden")};
        view().setFilter(notHidden);
        // Screen order: sorted by Google, descending.
        ClickHeader(*w, KeywordRow::Google);
        ClickHeader(*w, KeywordRow::Google);
        const QString file = path(QStringLiteral("shown.xlsx"));
        saveFileVia(tools().actExportExcel, path(QStringLiteral("shown")));
        QVERIFY(QFile::exists(file));
        const QJsonObject book = ReadXlsx(file);
        QVERIFY(!book.isEmpty());
        QCOMPARE(book[QStringLiteral("freeze")].toString(), QStringLiteral("A2"));
        QCOMPARE(book[QStringLiteral("filter")].toString(), QStringLiteral("A1:G5"));
        const QJsonArray rows = book[QStringLiteral("rows")].toArray();
        QCOMPARE(rows.size(), 5);
        QStringList header;
        for (const QJsonValue &c : rows[0].toArray()) {
            header.append(c[QStringLiteral("v")].toString());
            QVERIFY(c[QStringLiteral("bold")].toBool());
        }
        QCOMPARE(header,
                 (QStringList{"No", "Keywords", "Searches", "Google", "Yahoo", "Msn", "KEI"}));
        auto cellAt = [&](int r, int c) { return rows[r].toArray()[c].toObject(); };
        // In screen order, hidden row left out; keywords as the screen shows them.
        for (int r = 1; r < 5; ++r)
            QCOMPARE(cellAt(r, 1)[QStringLiteral("v")].toString(),
                     view().index(r - 1, KeywordRow::Keywords).data().toString());
        QCOMPARE(cellAt(1, 1)[QStringLiteral("v")].toString(), QStringLiteral("say \"golf\""));
        QCOMPARE(cellAt(2, 1)[QStringLiteral("v")].toString(), QStringLiteral("café €"));
        QCOMPARE(cellAt(3, 1)[QStringLiteral("v")].toString(), QStringLiteral("tab\there"));
        QCOMPARE(cellAt(4, 1)[QStringLiteral("v")].toString(),
                 QString::fromUtf8("caf\xc3\xa9 \xe2\x80\x9cquoted\xe2\x80\x9d"));
        // Numbers as numbers, a text that is no number as text, empty as empty.
        QCOMPARE(cellAt(1, 0)[QStringLiteral("t")].toString(), QStringLiteral("n"));
        QCOMPARE(cellAt(1, 0)[QStringLiteral("v")].toDouble(), 1.0);
        QCOMPARE(cellAt(1, 3)[QStringLiteral("v")].toDouble(), 10000.0);
        QCOMPARE(cellAt(1, 2)[QStringLiteral("v")].toDouble(), 1000.0);
        QCOMPARE(cellAt(3, 4)[QStringLiteral("t")].toString(), QStringLiteral("s"));
        QCOMPARE(cellAt(3, 4)[QStringLiteral("v")].toString(), QStringLiteral("many"));
        QVERIFY(cellAt(1, 5)[QStringLiteral("v")].isNull());
        QCOMPARE(cellAt(2, 4)[QStringLiteral("v")].toDouble(), 0.0);
        // KEI with its band's colour; none for a row without KEI.
        const TKeywordView &v = *w->lvwItems;
        QCOMPARE(cellAt(1, 6)[QStringLiteral("v")].toDouble(), 100.0);
        QCOMPARE(cellAt(1, 6)[QStringLiteral("fill")].toString(), Rgb(v.keiExcellentColor()));
        QCOMPARE(cellAt(2, 6)[QStringLiteral("v")].toDouble(), 0.25);
        QCOMPARE(cellAt(2, 6)[QStringLiteral("fill")].toString(), Rgb(v.keiPoorColor()));
        QCOMPARE(cellAt(3, 6)[QStringLiteral("v")].toDouble(), 10.0);
        QCOMPARE(cellAt(3, 6)[QStringLiteral("fill")].toString(), Rgb(v.keiGoodColor()));
        QVERIFY(cellAt(4, 6)[QStringLiteral("v")].isNull());

        // Without KEI on screen, no KEI column.
        tools().actShowKei->trigger();
        const QString plain = path(QStringLiteral("plain.xlsx"));
        saveFileVia(tools().actExportExcel, plain);
        const QJsonArray plainRows = ReadXlsx(plain)[QStringLiteral("rows")].toArray();
        QCOMPARE(plainRows[0].toArray().size(), 6);
        QCOMPARE(plainRows.size(), 5);
    }

    void export_failureKeepsTheOldFileAndSaysWhy()
    {
        addRow({"golf", "1", "2"});
        const QString file = path(QStringLiteral("keep.xlsx"));
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();
        TXlsxExport what;
        what.Rows = {0};
        what.Columns = {0, 1};
        QString error;
        QVERIFY(!WriteXlsx(path(QStringLiteral("no/such/folder/x.xlsx")), list(), what, error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(file), QByteArray("old"));
        QVERIFY(WriteXlsx(file, list(), what, error));
        QVERIFY(readAll(file).startsWith("PK"));
        QCOMPARE(XlsxFileName(QStringLiteral("a.XLSX")), QStringLiteral("a.XLSX"));
        QCOMPARE(XlsxFileName(QStringLiteral("a")), QStringLiteral("a.xlsx"));
    }
};

int main(int argc, char **argv)
{
    QStandardPaths::setTestModeEnabled(true);
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    app.setQuitOnLastWindowClosed(false);
    TestListView test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_listview.moc"
