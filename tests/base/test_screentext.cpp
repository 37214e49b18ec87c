// What the screen shows of the bytes the program keeps, and what typed text
// becomes: valid UTF-8 as UTF-8, anything else as Windows-1252, typed text
// back as UTF-8 — while the bytes in the list and the CSV stay as they came.

#include "base/KeywordList.h"
#include "base/ScreenText.h"
#include "stats/CsvWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestScreenText : public QObject
{
    Q_OBJECT
private slots:
    void toScreen_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ASCII") << "golf clubs"_ba << u"golf clubs"_s;
        QTest::newRow("Windows-1252 e acute") << "golf caf\xE9"_ba << u"golf café"_s;
        QTest::newRow("UTF-8 e acute") << "golf caf\xC3\xA9"_ba << u"golf café"_s;
        QTest::newRow("UTF-8 euro sign") << "\xE2\x82\xAC 5"_ba << u"€ 5"_s;
        // One byte that is not UTF-8 makes the whole text Windows-1252.
        QTest::newRow("mixed") << "caf\xC3\xA9 caf\xE9"_ba << u"cafÃ© café"_s;
        QTest::newRow("cut-off UTF-8 sequence") << "caf\xC3"_ba << u"cafÃ"_s;
        QTest::newRow("overlong UTF-8") << "\xC0\xAF"_ba << u"À¯"_s;
        QTest::newRow("Latin-1 range above 0x9F") << "\xA0\xBF\xD7\xFF"_ba << u"\u00A0¿×ÿ"_s;
        QTest::newRow("NUL kept") << "a\0b"_ba << QString(u"a\0b"_s);
        QTest::newRow("empty") << QByteArray() << QString();
        // The 0x80..0x9F block, where Windows-1252 differs from Latin-1.
        QTest::newRow("0x80 euro") << "\x80"_ba << u"\u20AC"_s;
        QTest::newRow("0x82 low quote") << "\x82"_ba << u"\u201A"_s;
        QTest::newRow("0x85 ellipsis") << "\x85"_ba << u"\u2026"_s;
        QTest::newRow("0x8A S caron") << "\x8A"_ba << u"\u0160"_s;
        QTest::newRow("0x8C OE") << "\x8C"_ba << u"\u0152"_s;
        QTest::newRow("0x91 0x92 single quotes") << "\x91x\x92"_ba << u"\u2018x\u2019"_s;
        QTest::newRow("0x93 0x94 double quotes") << "\x93x\x94"_ba << u"\u201Cx\u201D"_s;
        QTest::newRow("0x96 0x97 dashes") << "\x96\x97"_ba << u"\u2013\u2014"_s;
        QTest::newRow("0x99 trade mark") << "\x99"_ba << u"\u2122"_s;
        QTest::newRow("0x9F Y diaeresis") << "\x9F"_ba << u"\u0178"_s;
        // Unassigned in Windows-1252: shown as their control codes, never lost.
        QTest::newRow("0x81 0x8D 0x8F 0x90 0x9D unassigned")
            << "\x81\x8D\x8F\x90\x9D"_ba << u"\u0081\u008D\u008F\u0090\u009D"_s;
    }
    void toScreen()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(ToScreen(bytes), shown);
    }

    void fromScreen_typedTextIsUtf8AndShowsAgainAsTyped()
    {
        QCOMPARE(FromScreen(u"café"_s), "caf\xC3\xA9"_ba);
        for (const QString &typed :
             {u"golf café"_s, u"\u201Cgolf\u201D – €"_s, u"日本"_s, QString()})
            QCOMPARE(ToScreen(FromScreen(typed)), typed);
    }

    void listCell_showsScreenTextAndKeepsBytes()
    {
        TKeywordList list;
        list.addRow("golf caf\xE9"_ba, "1\xA0"
                                       "234"_ba);
        list.addRow("golf caf\xC3\xA9"_ba);
        list.addRow(FromScreen(u"café"_s));
        const auto shown = [&](int row, int column) {
            return list.data(list.index(row, column), Qt::DisplayRole).toString();
        };
        QCOMPARE(shown(0, KeywordRow::Keywords), u"golf café"_s);
        QCOMPARE(shown(0, KeywordRow::Searches), u"1\u00A0234"_s);
        QCOMPARE(shown(1, KeywordRow::Keywords), u"golf café"_s);
        QCOMPARE(shown(2, KeywordRow::Keywords), u"café"_s);
        QCOMPARE(list.row(0)[KeywordRow::Keywords], "golf caf\xE9"_ba);
        QCOMPARE(list.row(1)[KeywordRow::Keywords], "golf caf\xC3\xA9"_ba);
        QCOMPARE(list.row(2)[KeywordRow::Keywords], "caf\xC3\xA9"_ba);
    }

    void csvFile_keepsEveryRowsBytes()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TKeywordList list;
        list.addRow("golf caf\xE9"_ba, "\x93x\x94"_ba);
        list.addRow("golf caf\xC3\xA9"_ba);
        list.addRow(FromScreen(u"café"_s));
        // Sorting compares screen texts, but moves the rows' own bytes.
        list.sortByColumn(KeywordRow::Keywords, false);
        const QString path = dir.filePath(u"8bit.csv"_s);
        QVERIFY(SaveCsvFile(path, list));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "\"No\",\"Keywords\",\"Searches\",\"Google\",\"Yahoo\",\"Msn\"\r\n"
                                 "\"1\",\"golf caf\xE9\",\"\x93x\x94\",\"\",\"\",\"\"\r\n"
                                 "\"2\",\"golf caf\xC3\xA9\",\"\",\"\",\"\",\"\"\r\n"
                                 "\"3\",\"caf\xC3\xA9\",\"\",\"\",\"\",\"\"\r\n"_ba);
    }
};

QTEST_GUILESS_MAIN(TestScreenText)
#include "test_screentext.moc"
