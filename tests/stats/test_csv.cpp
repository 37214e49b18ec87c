// Save Results: the CSV bytes, the file name rules, the save dialog and what
// happens when the file cannot be written.

#include "StatsTestSupport.h"
#include "stats/CsvWriter.h"
#include "stats/FSaveDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace {

const QByteArray Header = "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n";

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestCsv : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TfrmMain> w;
    ScriptedMessageBox msg;
    QTimer watchdog;
    QStringList strayModals;

    QTemporaryDir &folder() { return *dir; }
    QString programFolder() { return folder().path() + QLatin1Char('/'); }
    TKeywordList &list() { return *w->Items(); }
    void addRow(const QByteArrayList &texts)
    {
        list().addRow(texts.value(0), texts.value(1));
        for (int c = 2; c < texts.size(); ++c)
            list().setText(list().count() - 1, c + 1, texts[c]);
    }
    static QLineEdit *nameEdit(QDialog &d)
    {
        return d.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    }
    static void pressSave(QDialog &d)
    {
        auto *buttons = d.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QPushButton *save = buttons ? buttons->button(QDialogButtonBox::Save) : nullptr;
        QVERIFY(save);
        QCOMPARE(save->text().remove(QLatin1Char('&')), QStringLiteral("Save"));
        if (save->isEnabled())
            QTest::mouseClick(save, Qt::LeftButton);
    }
    // Saves through the button, typing a name into the real dialog.
    void saveTyping(const QString &typed)
    {
        ModalScript script;
        script.then([&](QDialog &d) {
            nameEdit(d)->setText(typed);
            pressSave(d);
        });
        QTest::mouseClick(w->btnSaveResults, Qt::LeftButton);
        QCOMPARE(script.opened, 1);
    }
    QStringList filesInFolder()
    {
        return QDir(folder().path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }

private slots:
    void initTestCase()
    {
        // A question box that does not go through the modal seam would hang
        // the test; close it and remember it instead.
        connect(&watchdog, &QTimer::timeout, this, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                strayModals.append(modal->objectName() + QLatin1Char(':') +
                                   modal->metaObject()->className());
                modal->close();
            }
        });
        watchdog.start(500);
    }
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        strayModals.clear();
        w = OpenMainWindow(Endpoints{}, programFolder(), msg, false);
        QVERIFY(w);
    }
    void cleanup()
    {
        w.reset();
        QVERIFY2(strayModals.isEmpty(), qPrintable(strayModals.join(QLatin1Char(' '))));
    }

    void csvText_data()
    {
        QTest::addColumn<QList<QByteArrayList>>("rows");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("empty list: header only") << QList<QByteArrayList>{} << Header;
        QTest::newRow("one row, no counts")
            << QList<QByteArrayList>{{"golf"}} << Header + "\"1\",\"golf\",\"\",\"\",\"\",\"\"\r\n";
        QTest::newRow("separators stay inside the quotes")
            << QList<QByteArrayList>{{"golf clubs", "1,234", "2,340,000", "45", "0"}}
            << Header + "\"1\",\"golf clubs\",\"1,234\",\"2,340,000\",\"45\",\"0\"\r\n";
        QTest::newRow("a quote is doubled")
            << QList<QByteArrayList>{{"say \"hi\""}, {"\""}}
            << Header + "\"1\",\"say \"\"hi\"\"\",\"\",\"\",\"\",\"\"\r\n" +
                   "\"2\",\"\"\"\",\"\",\"\",\"\",\"\"\r\n";
        QTest::newRow("bytes as held: no trimming, 8-bit kept")
            << QList<QByteArrayList>{{" caf\xE9 ", "", "x\ty"}}
            << Header + "\"1\",\" caf\xE9 \",\"\",\"x\ty\",\"\",\"\"\r\n";
    }
    void csvText()
    {
        QFETCH(QList<QByteArrayList>, rows);
        QFETCH(QByteArray, expected);
        for (const QByteArrayList &r : rows)
            addRow(r);
        QCOMPARE(CsvText(list()), expected);
    }

    void csvText_followsListOrderAndNumbers()
    {
        addRow({"b", "", "10"});
        addRow({"a", "", "9"});
        list().setChecked(0, true);
        list().sortByColumn(KeywordRow::Google, true);
        QCOMPARE(CsvText(list()), Header + "\"2\",\"a\",\"\",\"9\",\"\",\"\"\r\n" +
                                      "\"1\",\"b\",\"\",\"10\",\"\",\"\"\r\n");
    }

    void csv_readBackByPythonIntoSameFields()
    {
        const QByteArrayList awkward = {"say \"hi\"", "\"",      "\"\"", "a,b",
                                        "  spaced  ", "caf\xE9", "",     "1,234,567"};
        for (const QByteArray &k : awkward)
            addRow({k, k, k});
        const QString path = folder().filePath(QStringLiteral("awkward.csv"));
        QVERIFY(SaveCsvFile(path, list()));

        if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
            QSKIP("python3 is not installed: the CSV file cannot be read back by Python's csv "
                  "module");
        QProcess python;
        python.start(
            QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import csv, json, sys\n"
                            "with open(sys.argv[1], newline='', encoding='latin-1') as f:\n"
                            "    print(json.dumps(list(csv.reader(f))))\n"),
             path});
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(python.exitCode(), 0);
        const QJsonArray lines = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
        QCOMPARE(lines.size(), awkward.size() + 1);
        for (int r = 0; r <= awkward.size(); ++r) {
            const QJsonArray fields = lines[r].toArray();
            QCOMPARE(fields.size(), 6);
            for (int c = 0; c < 6; ++c) {
                const QByteArray expected =
                    r == 0 ? QByteArray(TKeywordList::Headers[c]) : list().row(r - 1)[c];
                QCOMPARE(fields[c].toString().toLatin1(), expected);
            }
        }
    }

    void save_emptyList_noticeAndNoDialog()
    {
        ModalScript script;
        QTest::mouseClick(w->btnSaveResults, Qt::LeftButton);
        QCOMPARE(script.opened, 0);
        QCOMPARE(msg.texts(), QStringList{QStringLiteral("You don't have any data to save.")});
        QCOMPARE(msg.shown.last().type, MsgType::Information);
        QVERIFY(filesInFolder().isEmpty());
    }

    void save_nameRules_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("no extension") << "results"
                                      << "results.csv";
        QTest::newRow("other extension") << "results.txt"
                                         << "results.txt.csv";
        QTest::newRow("csv in another case") << "Results.CSV"
                                             << "Results.CSV";
        QTest::newRow("csv not at the end") << "a.csv.bak"
                                            << "a.csv.bak.csv";
    }
    void save_nameRules()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        addRow({"golf", "", "1,234"});
        saveTyping(typed);
        QCOMPARE(filesInFolder(), QStringList{saved});
        QCOMPARE(readAll(folder().filePath(saved)),
                 Header + "\"1\",\"golf\",\"\",\"1,234\",\"\",\"\"\r\n");
        QVERIFY(msg.shown.isEmpty());
    }

    void save_twice_replacesWithoutAsking_dialogRemembersFile()
    {
        addRow({"golf"});
        ModalScript script;
        QString firstDir;
        script.then([&](QDialog &d) {
            auto &dlg = static_cast<TSaveDialog &>(d);
            firstDir = dlg.directory().absolutePath();
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Save file"));
            QCOMPARE(dlg.objectName(), QStringLiteral("bsSkinSaveDialog1"));
            QCOMPARE(dlg.nameFilters(), QStringList{QStringLiteral("CSV files (*.csv)")});
            QCOMPARE(dlg.selectedNameFilter(), QStringLiteral("CSV files (*.csv)"));
            QCOMPARE(dlg.acceptMode(), QFileDialog::AcceptSave);
            QVERIFY(dlg.testOption(QFileDialog::DontUseNativeDialog));
            QDir().mkpath(folder().filePath(QStringLiteral("sub")));
            nameEdit(d)->setText(folder().filePath(QStringLiteral("sub/list")));
            pressSave(d);
        });
        QTest::mouseClick(w->btnSaveResults, Qt::LeftButton);
        QCOMPARE(firstDir, QDir(folder().path()).absolutePath());
        const QString saved = folder().filePath(QStringLiteral("sub/list.csv"));
        QCOMPARE(readAll(saved), Header + "\"1\",\"golf\",\"\",\"\",\"\",\"\"\r\n");

        // Cancel writes nothing and forgets nothing.
        list().setText(0, KeywordRow::Google, "7");
        QString secondDir, secondName;
        script.then([&](QDialog &d) {
            secondDir = static_cast<QFileDialog &>(d).directory().absolutePath();
            secondName = nameEdit(d)->text();
            QTest::mouseClick(d.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))
                                  ->button(QDialogButtonBox::Cancel),
                              Qt::LeftButton);
        });
        QTest::mouseClick(w->btnSaveResults, Qt::LeftButton);
        QCOMPARE(secondDir, QFileInfo(saved).absolutePath());
        QCOMPARE(secondName, QStringLiteral("list.csv"));
        QCOMPARE(readAll(saved), Header + "\"1\",\"golf\",\"\",\"\",\"\",\"\"\r\n");

        // Saving over the same file just replaces it.
        script.then([&](QDialog &d) {
            QCOMPARE(nameEdit(d)->text(), QStringLiteral("list.csv"));
            pressSave(d);
        });
        QTest::mouseClick(w->btnSaveResults, Qt::LeftButton);
        QCOMPARE(readAll(saved), Header + "\"1\",\"golf\",\"\",\"7\",\"\",\"\"\r\n");
        QCOMPARE(script.opened, 3);
        QVERIFY(msg.shown.isEmpty());
        QCOMPARE(QDir(QFileInfo(saved).absolutePath()).entryList(QDir::Files),
                 QStringList{QStringLiteral("list.csv")});
    }

    void saveDialog_wildcardIsNotAName()
    {
        addRow({"golf"});
        ModalScript script;
        bool stayedOpen = false;
        script.then([&](QDialog &d) {
            nameEdit(d)->setText(QStringLiteral("*.txt"));
            pressSave(d);
            stayedOpen = d.isVisible();
            nameEdit(d)->setText(QStringLiteral("ok"));
            pressSave(d);
        });
        QTest::mouseClick(w->btnSaveResults, Qt::LeftButton);
        QVERIFY(stayedOpen);
        QCOMPARE(filesInFolder(), QStringList{QStringLiteral("ok.csv")});
    }

    void save_unwritableTarget_warnsAndKeepsList_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("folder does not exist") << "no/such/folder/results";
        QTest::newRow("target is a folder") << "taken";
    }
    void save_unwritableTarget_warnsAndKeepsList()
    {
        QFETCH(QString, typed);
        QVERIFY(QDir(folder().path()).mkdir(QStringLiteral("taken.csv")));
        addRow({"golf", "", "1"});
        saveTyping(folder().filePath(typed));
        QCOMPARE(msg.texts(), QStringList{QStringLiteral("Unable to save the file.")});
        QCOMPARE(msg.shown.last().type, MsgType::Warning);
        QCOMPARE(msg.shown.last().buttons, MsgButtons::Ok);
        QCOMPARE(list().count(), 1);
        QCOMPARE(list().row(0)[KeywordRow::Google], QByteArray("1"));
        QCOMPARE(filesInFolder(), QStringList{QStringLiteral("taken.csv")});
        QVERIFY(QFileInfo(folder().filePath(QStringLiteral("taken.csv"))).isDir());
    }

    void save_writeFailsMidway_existingFileIntact_data()
    {
        QTest::addColumn<int>("rows");
        // Smaller than the file's write buffer: the failure shows only when
        // the buffer is flushed.
        QTest::newRow("buffered") << 100;
        QTest::newRow("written through") << 500;
    }

    void save_writeFailsMidway_existingFileIntact()
    {
        QFETCH(int, rows);
        const QString target = folder().filePath(QStringLiteral("keep.csv"));
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("precious");
        }
        for (int i = 0; i < rows; ++i)
            addRow({"a long enough keyword phrase", "1,234", "5,678,000"});

        // The disk "fills up" after 4 KiB.
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        saveTyping(target);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(msg.texts(), QStringList{QStringLiteral("Unable to save the file.")});
        QCOMPARE(readAll(target), QByteArray("precious"));
        QCOMPARE(filesInFolder(), QStringList{QStringLiteral("keep.csv")});
        QCOMPARE(list().count(), rows);
    }
};

int RunCsvTests(int argc, char **argv)
{
    TestCsv test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_csv.moc"
