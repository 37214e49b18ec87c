// The keyword list model on its own: row rules, deletes, sorting and the
// line rules of keyword files, checked through Qt's model tester.

#include "base/KeywordFilter.h"
#include "base/KeywordList.h"
#include "base/ListSorter.h"
#include "base/StatusBar.h"
#include "base/TextLines.h"
#include "keywords/KeywordFile.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
class RecordingStatus : public IStatusBar
{
public:
    QString main, rows;
    void SetMainStatus(const QString &t) override { main = t; }
    void SetRowCountText(const QString &t) override { rows = t; }
};

QByteArrayList column(const TKeywordList &list, int col)
{
    QByteArrayList out;
    for (const KeywordRow &r : list.rows())
        out.append(r[col]);
    return out;
}
} // namespace

class TestKeywordList : public QObject
{
    Q_OBJECT
private slots:
    void sortNumber_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint64>("value");
        QTest::newRow("plain") << QByteArray("987") << qint64(987);
        QTest::newRow("separators") << QByteArray("1,234,567") << qint64(1234567);
        QTest::newRow("beyond 32 bits") << QByteArray("3,000,000,000") << qint64(3000000000LL);
        QTest::newRow("negative") << QByteArray("-12") << qint64(-12);
        QTest::newRow("empty") << QByteArray() << qint64(0);
        QTest::newRow("word") << QByteArray("many") << qint64(0);
        QTest::newRow("number then word") << QByteArray("12 results") << qint64(0);
        QTest::newRow("beyond 64 bits") << QByteArray("99,999,999,999,999,999,999") << qint64(0);
    }
    void sortNumber()
    {
        QFETCH(QByteArray, text);
        QFETCH(qint64, value);
        QCOMPARE(SortNumber(text), value);
    }

    void modelStaysConsistentThroughEveryChange()
    {
        TKeywordList list;
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.addRow("golf", "1,234");
        list.appendKeywords({"a", "b", "c", "d"}, 2);
        list.setText(2, KeywordRow::Google, "55");
        list.setChecked(1, true);
        list.setChecked(3, true);
        list.setChecked(4, true);
        list.sortByColumn(KeywordRow::Google, false);
        list.deleteChecked();
        QCOMPARE(column(list, KeywordRow::Keywords), (QByteArrayList{"b", "golf"}));
        list.setAllChecked(true);
        list.deleteAll();
        QCOMPARE(list.count(), 0);
        list.sortByColumn(KeywordRow::Keywords, true); // empty list

        // The list tools' changes: whole rows appended, counts with their
        // history, scattered rows removed in one go.
        std::vector<KeywordRow> rows(5);
        for (int i = 0; i < 5; ++i)
            rows[size_t(i)][KeywordRow::Keywords] = QByteArray::number(i);
        list.appendRows(rows);
        list.appendRows({});
        list.setCount(1, KeywordRow::Yahoo, "12", TCountSource::Answered(0, true, {}));
        list.setCountSource(3, KeywordRow::Msn, TCountSource::NoAnswer(QStringLiteral("x")));
        list.setCount(1, KeywordRow::Keywords, "not an engine", {});
        list.removeMarkedRows({true, false, true, true});
        QCOMPARE(column(list, KeywordRow::Keywords), (QByteArrayList{"1", "4"}));
        QCOMPARE(list.row(0)[KeywordRow::Yahoo], QByteArray("12"));
        QCOMPARE(list.row(0).source(KeywordRow::Yahoo).What, TCountSource::Kind::Count);
        list.removeMarkedRows({false, false});
        QCOMPARE(list.count(), 2);
    }

    void addRow_numbersFromCountAndFillsEveryColumn()
    {
        TKeywordList list;
        list.appendKeywords({"x", "y", "z"}, 1);
        list.setChecked(0, true);
        list.deleteChecked();
        list.addRow("new");
        // Numbers are never renewed: 2, 3 and then 3 again.
        QCOMPARE(column(list, KeywordRow::No), (QByteArrayList{"2", "3", "3"}));
        const KeywordRow &row = list.row(2);
        QCOMPARE(row[KeywordRow::Searches], QByteArray());
        QVERIFY(!row.Checked);
    }

    void sort_isStableAndMovesPersistentIndexes()
    {
        TKeywordList list;
        list.appendKeywords({"a", "b", "c", "d"}, 1);
        const QByteArrayList google = {"5", "1", "5", "1"};
        for (int i = 0; i < 4; ++i)
            list.setText(i, KeywordRow::Google, google[i]);
        QPersistentModelIndex c(list.index(2, KeywordRow::Keywords));
        list.sortByColumn(KeywordRow::Google, true);
        QCOMPARE(column(list, KeywordRow::Keywords), (QByteArrayList{"b", "d", "a", "c"}));
        QCOMPARE(c.row(), 3);
        QCOMPARE(c.data().toString(), QStringLiteral("c"));
        list.sortByColumn(KeywordRow::Google, false);
        QCOMPARE(column(list, KeywordRow::Keywords), (QByteArrayList{"a", "c", "b", "d"}));
    }

    void deleteChecked_removesScatteredRuns()
    {
        TKeywordList list;
        list.appendKeywords({"0", "1", "2", "3", "4", "5", "6", "7"}, 1);
        for (int r : {0, 2, 3, 6, 7})
            list.setChecked(r, true);
        QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);
        list.deleteChecked();
        QCOMPARE(column(list, KeywordRow::Keywords), (QByteArrayList{"1", "4", "5"}));
        QCOMPARE(removed.count(), 3); // one notification per run of marked rows
    }

    void viewModel_staysConsistentAndKeepsItsStateFromTheObserver()
    {
        struct Recorder : IKeywordListObserver
        {
            QStringList events;
            void RowsAppended(const TKeywordList &, int f, int l) override
            {
                events << QStringLiteral("append %1-%2").arg(f).arg(l);
            }
            void RowsRemoved(const TKeywordList &, const std::vector<quint64> &ids) override
            {
                events << QStringLiteral("remove %1").arg(ids.size());
            }
            void RowsChanged(const TKeywordList &, int f, int l) override
            {
                events << QStringLiteral("change %1-%2").arg(f).arg(l);
            }
            void OrderChanged(const TKeywordList &) override { events << QStringLiteral("order"); }
            void Cleared(const TKeywordList &) override { events << QStringLiteral("clear"); }
        } recorder;
        TKeywordList list;
        list.setObserver(&recorder);
        TKeywordViewModel view(list);
        QAbstractItemModelTester tester(&view,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.appendKeywords({"red a", "blue b", "red c", "blue d"}, 1);
        TKeywordFilter f;
        f.NegativeWords = {QStringLiteral("red")};
        view.setFilter(f);
        TKeiOptions kei;
        kei.EngineColumn = KeywordRow::Msn;
        view.setKeiOptions(kei);
        QCOMPARE(view.rowCount(), 2);
        list.addRow("red e");
        list.addRow("blue f");
        QCOMPARE(view.rowCount(), 3);
        list.sortByColumn(KeywordRow::Keywords, false);
        QCOMPARE(list.text(0, KeywordRow::Keywords), QByteArray("red e"));
        QCOMPARE(view.index(0, 1).data().toString(), QStringLiteral("blue f"));
        list.setText(0, KeywordRow::Keywords, "blue again"); // was "red e": now shows
        QCOMPARE(view.rowCount(), 4);
        list.setChecked(1, true);
        list.deleteChecked();
        list.removeMarkedRows({true});
        view.clearFilter();
        QCOMPARE(view.rowCount(), list.count());
        list.deleteAll();
        // The view's own state never reached the observer.
        QCOMPARE(recorder.events,
                 (QStringList{"append 0-3", "append 4-4", "append 5-5", "order", "change 0-0",
                              "change 1-1", "remove 1", "remove 1", "clear"}));
    }

    void texts_surviveManyRewritesOfTheArena()
    {
        TKeywordList list;
        list.appendKeywords({"golf", "tennis", QByteArray(300, 'x')}, 1);
        // Each rewrite moves the row's texts (about 80 bytes): 8 MB in all.
        for (int i = 0; i < 100000; ++i)
            list.setText(i % 2, KeywordRow::Google, QByteArray::number(i) + QByteArray(60, ','));
        QCOMPARE(list.text(0, KeywordRow::Google), QByteArray::number(99998) + QByteArray(60, ','));
        QCOMPARE(list.text(1, KeywordRow::Keywords), QByteArray("tennis"));
        QCOMPARE(list.text(2, KeywordRow::Keywords), QByteArray(300, 'x'));
        QCOMPARE(list.number(0, KeywordRow::Google), std::optional<qint64>(99998));
        QVERIFY(list.memoryInUse() < 3000000); // the waste was given back
        const TCountSource when =
            TCountSource::Answered(1, false, QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9, 10)));
        list.setCount(2, KeywordRow::Yahoo, "", when);
        list.setCountSource(2, KeywordRow::Msn,
                            TCountSource::NoAnswer(QStringLiteral("Server busy")));
        list.setCountSource(1, KeywordRow::Msn,
                            TCountSource::NoAnswer(QStringLiteral("Server busy")));
        QCOMPARE(list.source(2, KeywordRow::Yahoo).When, when.When);
        QCOMPARE(list.source(2, KeywordRow::Yahoo).What, TCountSource::Kind::NoCount);
        QCOMPARE(list.source(2, KeywordRow::Yahoo).SearchType, 1);
        QCOMPARE(list.source(1, KeywordRow::Msn).Reason, QStringLiteral("Server busy"));
        QCOMPARE(list.source(2, KeywordRow::Msn).What, TCountSource::Kind::Failed);
        QCOMPARE(list.source(0, KeywordRow::Msn).What, TCountSource::Kind::NeverAsked);
    }

    void sortByKeywords_foldsCaseAndKeepsEqualKeysInOrder()
    {
        TKeywordList list;
        list.appendKeywords({"Golf shoes extra long name b", "golf shoes extra long name a", "GOLF",
                             "golf", "caf\xc3\xa9", "Caf\xc3\x89", "cafe",
                             "golf shoes extra long name A"},
                            1);
        list.sortByColumn(KeywordRow::Keywords, true);
        QCOMPARE(column(list, KeywordRow::No),
                 (QByteArrayList{"7", "5", "6", "3", "4", "2", "8", "1"}));
        list.sortByColumn(KeywordRow::Keywords, false);
        QCOMPARE(column(list, KeywordRow::No),
                 (QByteArrayList{"1", "2", "8", "3", "4", "5", "6", "7"}));
    }

    void sorter_offThreadSortsWhatIsThereWhenItEnds()
    {
        TKeywordList list;
        for (int i = 0; i < 3000; ++i)
            list.addRow("k", QByteArray::number((i * 7919) % 3001));
        TListSorter sorter(list);
        sorter.setThreadFrom(0); // every sort on the thread
        QSignalSpy sorted(&sorter, &TListSorter::sorted);
        sorter.start(KeywordRow::Searches, true);
        QVERIFY(sorter.isRunning());
        // Rows change before the order comes back: it is worked out again.
        list.addRow("late", "-1");
        list.setChecked(5, true);
        list.deleteChecked();
        QVERIFY(sorted.wait(10000));
        QCOMPARE(sorted.count(), 1);
        QCOMPARE(list.count(), 3000);
        QCOMPARE(list.text(0, KeywordRow::Keywords), QByteArray("late"));
        for (int r = 1; r < list.count(); ++r)
            QVERIFY(*list.number(r - 1, KeywordRow::Searches) <=
                    *list.number(r, KeywordRow::Searches));
        // A second sort asked for while one runs wins.
        sorter.start(KeywordRow::Searches, true);
        sorter.start(KeywordRow::No, false);
        QVERIFY(sorted.wait(10000));
        QCOMPARE(list.text(0, KeywordRow::No), QByteArray("3001"));
        QTest::qWait(50);
        QCOMPARE(sorted.count(), 2);
        // Ids and every column move together.
        for (int r = 0; r < list.count(); ++r)
            QCOMPARE(list.rowId(r), quint64(list.number(r, KeywordRow::No).value_or(0)));
    }

    void textLines_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::newRow("empty") << QByteArray() << QByteArrayList{};
        QTest::newRow("only a break") << QByteArray("\r\n") << QByteArrayList{""};
        QTest::newRow("final break adds nothing")
            << QByteArray("golf\ntennis\n") << QByteArrayList{"golf", "tennis"};
        QTest::newRow("mixed ends")
            << QByteArray("a\r\nb\rc\nd") << QByteArrayList{"a", "b", "c", "d"};
        QTest::newRow("empty lines inside")
            << QByteArray("golf\n\ntennis") << QByteArrayList{"golf", "", "tennis"};
        QTest::newRow("CR CR LF is two breaks")
            << QByteArray("a\r\r\nb") << QByteArrayList{"a", "", "b"};
        QTest::newRow("LF CR is two breaks")
            << QByteArray("a\n\rb") << QByteArrayList{"a", "", "b"};
        QTest::newRow("zero byte ends the text")
            << QByteArray("a\nb\0c\nd", 7) << QByteArrayList{"a", "b"};
        QTest::newRow("spaces and 8-bit bytes kept")
            << QByteArray(" caf\xe9 \t\n") << QByteArrayList{" caf\xe9 \t"};
    }
    void textLines()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArrayList, lines);
        QCOMPARE(TextLines(data), lines);
        // Joining gives CR LF after every line, the last included.
        QByteArray joined;
        for (const QByteArray &l : lines)
            joined += l + "\r\n";
        QCOMPARE(JoinLinesCrLf(TextLines(data)), joined);
    }

    void addKeywordsFromFile_keepsRowsAndSaysTotal()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("k.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("golf\n\ntennis\n");
        f.close();
        TKeywordList list;
        list.appendKeywords({"1", "2", "3", "4", "5"}, 1);
        RecordingStatus status;
        AddKeywordsFromFile(path, list, status);
        QCOMPARE(column(list, KeywordRow::No),
                 (QByteArrayList{"1", "2", "3", "4", "5", "6", "7", "8"}));
        QCOMPARE(status.rows, QStringLiteral("Total: 8"));

        // No file at the path, or no path: nothing at all happens.
        status.rows.clear();
        AddKeywordsFromFile(path + QStringLiteral(".none"), list, status);
        AddKeywordsFromFile(QString(), list, status);
        AddKeywordsFromFile(dir.path(), list, status); // a folder is not a file
        QCOMPARE(list.count(), 8);
        QCOMPARE(status.rows, QString());
    }
};

QTEST_GUILESS_MAIN(TestKeywordList)
#include "test_keywordlist.moc"
