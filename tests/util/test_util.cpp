#include "platform/Platform.h"
#include "util/UUtils.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Straightforward versions to compare the fast ones against.
QByteArray foldCopy(QByteArray text)
{
    for (char &c : text) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    }
    return text;
}

QByteArray naiveCutBetween(QByteArray &scanned, const QByteArray &start, const QByteArray &end)
{
    const qsizetype s = start.isEmpty() ? -1 : foldCopy(scanned).indexOf(foldCopy(start));
    if (s < 0)
        return {};
    scanned = scanned.mid(s + start.size());
    const qsizetype e = end.isEmpty() ? -1 : foldCopy(scanned).indexOf(foldCopy(end));
    if (e < 0)
        return {};
    const QByteArray field = scanned.left(e);
    scanned = scanned.mid(e);
    return field;
}

// nullopt when the rewriting does not settle within the step budget.
std::optional<QByteArray> naiveReplaceAll(QByteArray text, const QByteArray &searched,
                                          const QByteArray &replacement)
{
    for (int steps = 0; steps < 10000; ++steps) {
        const qsizetype at = text.indexOf(searched);
        if (at < 0)
            return text;
        text = text.left(at) + replacement + text.mid(at + searched.size());
    }
    return std::nullopt;
}

QByteArray randomText(QRandomGenerator &rng, const QByteArray &alphabet, int maxLength)
{
    QByteArray text;
    const int length = rng.bounded(maxLength + 1);
    for (int i = 0; i < length; ++i)
        text.append(alphabet[rng.bounded(int(alphabet.size()))]);
    return text;
}

} // namespace

class TestUtil : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { platform::ClearBrowserCommandOverride(); }

    void cutBetween_data();
    void cutBetween();
    void cutBetween_walksFieldsInDocumentOrder();
    void cutBetween_matchesFoldedCopySearch();

    void replaceAllRescan_data();
    void replaceAllRescan();
    void replaceAllRescan_matchesNaiveRestart();

    void htmlToText_data();
    void htmlToText();

    void splitByChar_data();
    void splitByChar();

    void decodeDollarHex_data();
    void decodeDollarHex();

    void openUrl_startsQuotedProgramWithAddressAsOnlyArgument_data();
    void openUrl_startsQuotedProgramWithAddressAsOnlyArgument();
    void openUrl_emptyCommand_returnsFalse();
    void openUrl_noQuotedProgram_startsNothing_data();
    void openUrl_noQuotedProgram_startsNothing();

private:
    QTemporaryDir m_dir;
    QString writeRecorder();
};

void TestUtil::cutBetween_data()
{
    QTest::addColumn<QByteArray>("scanned");
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("rest");

    QTest::newRow("markers in another case") << "<b>Name</b> and <b>Age</b>"_ba
                                             << "<B>"_ba
                                             << "</B>"_ba << 0 << "Name"_ba
                                             << "</b> and <b>Age</b>"_ba;
    QTest::newRow("start absent: untouched") << "<a>1</a>"_ba
                                             << "<b>"_ba
                                             << "</a>"_ba << 0 << QByteArray() << "<a>1</a>"_ba;
    QTest::newRow("end absent: after start") << "x<a>1 2"_ba
                                             << "<a>"_ba
                                             << "</a>"_ba << 0 << QByteArray() << "1 2"_ba;
    QTest::newRow("end right after start") << "<a></a>z"_ba
                                           << "<a>"_ba
                                           << "</a>"_ba << 0 << QByteArray() << "</a>z"_ba;
    QTest::newRow("same marker twice") << "|a|b|"_ba
                                       << "|"_ba
                                       << "|"_ba << 0 << "a"_ba
                                       << "|b|"_ba;
    QTest::newRow("attributes folded") << "<tr><TD CLASS='K'>golf</td>"_ba
                                       << "<td class='k'>"_ba
                                       << "</TD>"_ba << 0 << "golf"_ba
                                       << "</td>"_ba;
    QTest::newRow("leftmost start wins") << "<i>1</i><I>2</I>"_ba
                                         << "<I>"_ba
                                         << "</i>"_ba << 0 << "1"_ba
                                         << "</i><I>2</I>"_ba;
    // Only a-z fold: neighbours that differ by the case bit stay apart.
    QTest::newRow("[ is not {") << "k{1]k[2]"_ba
                                << "K["_ba
                                << "]"_ba << 0 << "2"_ba
                                << "]"_ba;
    QTest::newRow("@ is not `") << "`x1;@x2;"_ba
                                << "@X"_ba
                                << ";"_ba << 0 << "2"_ba
                                << ";"_ba;
    QTest::newRow("accented letter, other case") << "\xC9t\xE9x;"_ba
                                                 << "\xE9"_ba
                                                 << ";"_ba << 0 << "x"_ba
                                                 << ";"_ba;
    QTest::newRow("accented letter, same case only") << "\xC9t;"_ba
                                                     << "\xE9"_ba
                                                     << ";"_ba << 0 << QByteArray() << "\xC9t;"_ba;
    QTest::newRow("empty start marker never found")
        << "abc"_ba << QByteArray() << "c"_ba << 0 << QByteArray() << "abc"_ba;
    QTest::newRow("empty end marker never found")
        << "abc"_ba
        << "a"_ba << QByteArray() << 0 << QByteArray() << "bc"_ba;
    QTest::newRow("marker longer than text") << "ab"_ba
                                             << "abc"_ba
                                             << "c"_ba << 0 << QByteArray() << "ab"_ba;
    QTest::newRow("8-bit and NUL kept") << "a\0<B>\xAF\xFF\0x\x80</b>\x80"_ba
                                        << "<b>"_ba
                                        << "</b>"_ba << 0 << "\xAF\xFF\0x\x80"_ba
                                        << "</b>\x80"_ba;
    QTest::newRow("NUL in markers") << "a\0b\0c\0d"_ba
                                    << "\0b\0"_ba
                                    << "\0d"_ba << 0 << "c"_ba
                                    << "\0d"_ba;

    QTest::newRow("offset moves both cuts") << "ab[xy]cd"_ba
                                            << "["_ba
                                            << "]"_ba << 1 << "y"_ba
                                            << "cd"_ba;
    QTest::newRow("offset of the end marker's length consumes it")
        << "xx<b>Name and more</b>rest"_ba
        << "<b>"_ba
        << "</b>"_ba << 4 << " and more"_ba
        << "rest"_ba;
    QTest::newRow("offset, end cut past the end") << "<b>abcdefgh</b>"_ba
                                                  << "<b>"_ba
                                                  << "</b>"_ba << 5 << "fgh"_ba << QByteArray();
    QTest::newRow("offset, end cut exactly at the end")
        << "<b>abcdefgh</b>"_ba
        << "<b>"_ba
        << "</b>"_ba << 4 << "efgh"_ba << QByteArray();
    QTest::newRow("offset, start cut past the end") << "ab<b>x"_ba
                                                    << "<b>"_ba
                                                    << "x"_ba << 5 << QByteArray() << QByteArray();
}

void TestUtil::cutBetween()
{
    QFETCH(QByteArray, scanned);
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, end);
    QFETCH(int, offset);
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, rest);

    QCOMPARE(CutBetween(scanned, start, end, offset), field);
    QCOMPARE(scanned, rest);
}

void TestUtil::cutBetween_walksFieldsInDocumentOrder()
{
    const QByteArray page = "<a>1</a><c>3</c>\n<b>Name</b> and <b>Age</b>"_ba;
    QByteArray scanned = page;

    // An absent field costs nothing: the fields before its place are still found.
    QCOMPARE(CutBetween(scanned, "<d>"_ba, "</d>"_ba), QByteArray());
    QCOMPARE(CutBetween(scanned, "<a>"_ba, "</a>"_ba), "1"_ba);
    QCOMPARE(CutBetween(scanned, "<c>"_ba, "</c>"_ba), "3"_ba);
    QCOMPARE(CutBetween(scanned, "<B>"_ba, "</B>"_ba), "Name"_ba);
    QCOMPARE(CutBetween(scanned, "<B>"_ba, "</B>"_ba), "Age"_ba);
    QCOMPARE(scanned, "</b>"_ba);
    QCOMPARE(CutBetween(scanned, "<B>"_ba, "</B>"_ba), QByteArray());
    QCOMPARE(scanned, "</b>"_ba);
    // A field already passed over is gone.
    QCOMPARE(CutBetween(scanned, "<a>"_ba, "</a>"_ba), QByteArray());
    // The caller's page shares nothing with the consumed copy.
    QCOMPARE(page, "<a>1</a><c>3</c>\n<b>Name</b> and <b>Age</b>"_ba);
}

void TestUtil::cutBetween_matchesFoldedCopySearch()
{
    // Long runs make the word-at-a-time scan meet hits at every byte position.
    QRandomGenerator rng(20240607);
    const QByteArray alphabet = "aAbBkK<>[{@`\xE9\xC9\0 ........"_ba;
    for (int round = 0; round < 3000; ++round) {
        QByteArray scanned = randomText(rng, alphabet, 120);
        QByteArray reference = scanned;
        for (int call = 0; call < 6; ++call) {
            const QByteArray start = randomText(rng, alphabet.left(14), 3);
            const QByteArray end = randomText(rng, alphabet.left(14), 2);
            const QByteArray expected = naiveCutBetween(reference, start, end);
            const QByteArray field = CutBetween(scanned, start, end);
            if (field != expected || scanned != reference) {
                qWarning() << "start" << start.toHex() << "end" << end.toHex();
                QCOMPARE(field.toHex(), expected.toHex());
                QCOMPARE(scanned.toHex(), reference.toHex());
            }
        }
    }
}

void TestUtil::replaceAllRescan_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("searched");
    QTest::addColumn<QByteArray>("replacement");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("entity unfolds fully") << "&amp;amp;"_ba
                                          << "&amp;"_ba
                                          << "&"_ba
                                          << "&"_ba;
    QTest::newRow("entity unfolds three levels") << "x&amp;amp;amp;y&amp;"_ba
                                                 << "&amp;"_ba
                                                 << "&"_ba
                                                 << "x&y&"_ba;
    QTest::newRow("joined pieces replaced") << "aaabbb"_ba
                                            << "ab"_ba
                                            << ""_ba
                                            << ""_ba;
    QTest::newRow("shorter replacement, no new match") << "aab"_ba
                                                       << "ab"_ba
                                                       << "a"_ba
                                                       << "aa"_ba;
    QTest::newRow("new match to the left") << "aab"_ba
                                           << "ab"_ba
                                           << "ba"_ba
                                           << "baa"_ba;
    QTest::newRow("absent") << "golf"_ba
                            << "x"_ba
                            << "y"_ba
                            << "golf"_ba;
    QTest::newRow("empty searched") << "golf"_ba << QByteArray() << "y"_ba
                                    << "golf"_ba;
    QTest::newRow("empty source") << QByteArray() << "x"_ba
                                  << "y"_ba << QByteArray();
    QTest::newRow("case-sensitive") << "<BR><br>"_ba
                                    << "<br>"_ba
                                    << " "_ba
                                    << "<BR> "_ba;
    QTest::newRow("8-bit bytes") << "\xAF\0\xFF\xAF\0"_ba
                                 << "\xAF\0"_ba
                                 << "\x80"_ba
                                 << "\x80\xFF\x80"_ba;
}

void TestUtil::replaceAllRescan()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, searched);
    QFETCH(QByteArray, replacement);
    QFETCH(QByteArray, expected);

    QCOMPARE(ReplaceAllRescan(source, searched, replacement), expected);
}

void TestUtil::replaceAllRescan_matchesNaiveRestart()
{
    QRandomGenerator rng(77);
    const QByteArray alphabets[] = {"ab"_ba, "ab&;"_ba, "&amp;"_ba, "abc\0"_ba};
    int compared = 0;
    for (int round = 0; round < 20000; ++round) {
        const QByteArray &alphabet = alphabets[round % 4];
        QByteArray searched = randomText(rng, alphabet, 4);
        if (searched.isEmpty())
            searched = alphabet.left(1);
        const QByteArray replacement = randomText(rng, alphabet, int(searched.size()) + 1);
        if (replacement.contains(searched))
            continue;
        // Seed the source with the searched text so that most rounds replace.
        QByteArray source = randomText(rng, alphabet, 40);
        for (int k = rng.bounded(4); k > 0; --k)
            source.insert(rng.bounded(int(source.size()) + 1), searched);
        const std::optional<QByteArray> expected = naiveReplaceAll(source, searched, replacement);
        if (!expected)
            continue;
        ++compared;
        const QByteArray actual = ReplaceAllRescan(source, searched, replacement);
        if (actual != *expected) {
            qWarning() << source << searched << replacement;
            QCOMPARE(actual, *expected);
        }
    }
    QVERIFY(compared > 15000);

    // Thousands of self-forming occurrences in one text.
    const QByteArray nested = "&"_ba + "amp;"_ba.repeated(3000);
    QCOMPARE(ReplaceAllRescan(nested + "|"_ba + nested, "&amp;"_ba, "&"_ba), "&|&"_ba);
}

void TestUtil::htmlToText_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("cell") << "<b>Golf</b>&nbsp;clubs<br>"_ba
                          << "Golf clubs"_ba;
    QTest::newRow("<br /> vanishes") << "a<br />b"_ba
                                     << "ab"_ba;
    QTest::newRow("<br> is a space") << "a<br>b"_ba
                                     << "a b"_ba;
    QTest::newRow("entity unfolds then trims") << "&amp;nbsp;"_ba << QByteArray();
    QTest::newRow("apostrophe through &amp;") << "it&amp;#039;s"_ba
                                              << "it's"_ba;
    QTest::newRow("unlisted tag kept") << "<span>golf</span>"_ba
                                       << "<span>golf</span>"_ba;
    QTest::newRow("other letter case kept") << "<Strong>x</Strong>"_ba
                                            << "<Strong>x</Strong>"_ba;
    QTest::newRow("tag with attributes kept") << "<b class=x>y</b>"_ba
                                              << "<b class=x>y"_ba;
    QTest::newRow("double quotes removed") << "say \"golf\" \"\""_ba
                                           << "say golf"_ba;
    QTest::newRow("line breaks and tabs are spaces") << "a\r\nb\tc\nd\re"_ba
                                                     << "a  b c d e"_ba;
    QTest::newRow("paragraphs") << "a<p>b</p><P>c</P>"_ba
                                << "a b c"_ba;
    QTest::newRow("phone labels") << "Tel : 123 Fax : 456"_ba
                                  << "123 456"_ba;
    QTest::newRow("table tags") << "<table><tr><td>a</td></tr><TR><TD>b</TD></TR></table>"_ba
                                << "ab"_ba;
    QTest::newRow("emphasis") << "<strong>a</strong><em>b</em><i>c</i><u>d</u><h3>e</h3>"_ba
                              << "abcde"_ba;
    // Both <BR> rows: a whole tag is a space, one joined later vanishes.
    QTest::newRow("<BR> early and joined") << "a<BR>b<<TD>BR>c"_ba
                                           << "a bc"_ba;
    QTest::newRow("<wbr> joins") << "golf<wbr>clubs"_ba
                                 << "golfclubs"_ba;
    QTest::newRow("trims control bytes") << "\x01\x1F \0golf\x20\x0B\0"_ba
                                         << "golf"_ba;
    QTest::newRow("keeps 8-bit bytes at the ends") << "\xA0 caf\xE9 \xFF"_ba
                                                   << "\xA0 caf\xE9 \xFF"_ba;
    QTest::newRow("keeps NUL inside") << "a\0b"_ba
                                      << "a\0b"_ba;
    QTest::newRow("empty") << QByteArray() << QByteArray();

    // Every row of the table once, between two letters so that trimming
    // stays out of it. Row 46 can only meet a <BR> that an earlier row
    // joined, since row 21 takes every one the text starts with.
    QTest::newRow("row 1: &amp;") << "a&amp;z"_ba
                                  << "a&z"_ba;
    QTest::newRow("row 2: &nbsp;") << "a&nbsp;z"_ba
                                   << "a z"_ba;
    QTest::newRow("row 3: tab") << "a\tz"_ba
                                << "a z"_ba;
    QTest::newRow("row 4: <wbr>") << "a<wbr>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 5: &#039;") << "a&#039;z"_ba
                                   << "a'z"_ba;
    QTest::newRow("row 6: Tel : ") << "aTel : z"_ba
                                   << "az"_ba;
    QTest::newRow("row 7: Fax : ") << "aFax : z"_ba
                                   << "az"_ba;
    QTest::newRow("row 8: <strong>") << "a<strong>z"_ba
                                     << "az"_ba;
    QTest::newRow("row 9: </strong>") << "a</strong>z"_ba
                                      << "az"_ba;
    QTest::newRow("row 10: <em>") << "a<em>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 11: <hr>") << "a<hr>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 12: <h3>") << "a<h3>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 13: </h3>") << "a</h3>z"_ba
                                   << "az"_ba;
    QTest::newRow("row 14: <H3>") << "a<H3>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 15: </H3>") << "a</H3>z"_ba
                                   << "az"_ba;
    QTest::newRow("row 16: </em>") << "a</em>z"_ba
                                   << "az"_ba;
    QTest::newRow("row 17: <u>") << "a<u>z"_ba
                                 << "az"_ba;
    QTest::newRow("row 18: </u>") << "a</u>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 19: </INVALID>") << "a</INVALID>z"_ba
                                        << "az"_ba;
    QTest::newRow("row 20: <br>") << "a<br>z"_ba
                                  << "a z"_ba;
    QTest::newRow("row 21: <BR>") << "a<BR>z"_ba
                                  << "a z"_ba;
    QTest::newRow("row 22: <tr>") << "a<tr>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 23: </tr>") << "a</tr>z"_ba
                                   << "az"_ba;
    QTest::newRow("row 24: <td>") << "a<td>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 25: </td>") << "a</td>z"_ba
                                   << "az"_ba;
    QTest::newRow("row 26: <table>") << "a<table>z"_ba
                                     << "az"_ba;
    QTest::newRow("row 27: </table>") << "a</table>z"_ba
                                      << "az"_ba;
    QTest::newRow("row 28: </font>") << "a</font>z"_ba
                                     << "az"_ba;
    QTest::newRow("row 29: <b>") << "a<b>z"_ba
                                 << "az"_ba;
    QTest::newRow("row 30: <i>") << "a<i>z"_ba
                                 << "az"_ba;
    QTest::newRow("row 31: <blockquote>") << "a<blockquote>z"_ba
                                          << "az"_ba;
    QTest::newRow("row 32: </p>") << "a</p>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 33: <p>") << "a<p>z"_ba
                                 << "a z"_ba;
    QTest::newRow("row 34: <P>") << "a<P>z"_ba
                                 << "a z"_ba;
    QTest::newRow("row 35: </P>") << "a</P>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 36: </b>") << "a</b>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 37: </i>") << "a</i>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 38: </th>") << "a</th>z"_ba
                                   << "az"_ba;
    QTest::newRow("row 39: <br />") << "a<br />z"_ba
                                    << "az"_ba;
    QTest::newRow("row 40: </FONT>") << "a</FONT>z"_ba
                                     << "az"_ba;
    QTest::newRow("row 41: </TD>") << "a</TD>z"_ba
                                   << "az"_ba;
    QTest::newRow("row 42: <TD>") << "a<TD>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 43: <B>") << "a<B>z"_ba
                                 << "az"_ba;
    QTest::newRow("row 44: </B>") << "a</B>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 45: <TR>") << "a<TR>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 46: <BR>") << "a<<TD>BR>z"_ba
                                  << "az"_ba;
    QTest::newRow("row 47: </TR>") << "a</TR>z"_ba
                                   << "az"_ba;
    QTest::newRow("row 48: double quote") << "a\"z"_ba
                                          << "az"_ba;
    QTest::newRow("row 49: line feed") << "a\nz"_ba
                                       << "a z"_ba;
    QTest::newRow("row 50: carriage return") << "a\rz"_ba
                                             << "a z"_ba;
}

void TestUtil::htmlToText()
{
    QFETCH(QByteArray, html);
    QFETCH(QByteArray, text);

    QCOMPARE(HtmlToText(html), text);
}

void TestUtil::splitByChar_data()
{
    QTest::addColumn<char>("separator");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QList<QByteArray>>("pieces");

    using L = QList<QByteArray>;
    QTest::newRow("inner empty piece") << '^' << "a^^b"_ba << L{"a"_ba, ""_ba, "b"_ba};
    QTest::newRow("trailing separator") << '^' << "a^b^"_ba << L{"a"_ba, "b"_ba};
    QTest::newRow("leading separator") << '^' << "^a"_ba << L{""_ba, "a"_ba};
    QTest::newRow("separator only") << '^' << "^"_ba << L{""_ba};
    QTest::newRow("two separators only") << '^' << "^^"_ba << L{""_ba, ""_ba};
    QTest::newRow("empty") << '^' << QByteArray() << L{};
    QTest::newRow("no separator") << '^' << "abc"_ba << L{"abc"_ba};
    QTest::newRow("not trimmed") << '^' << " a ^ b "_ba << L{" a "_ba, " b "_ba};
    QTest::newRow("byte AF with 8-bit data") << '\xAF' << "7\xAF\xE9t\xE9\xAF\0x\xAF^\xFF"_ba
                                             << L{"7"_ba, "\xE9t\xE9"_ba, "\0x"_ba, "^\xFF"_ba};
}

void TestUtil::splitByChar()
{
    QFETCH(char, separator);
    QFETCH(QByteArray, source);
    QFETCH(QList<QByteArray>, pieces);

    QList<QByteArray> actual{"left over"_ba};
    SplitByChar(separator, source, actual);
    QCOMPARE(actual, pieces);
}

void TestUtil::decodeDollarHex_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("decoded");

    QTest::newRow("space") << "Hello$20World"_ba
                           << "Hello World"_ba;
    QTest::newRow("both letter cases") << "$4a$4B"_ba
                                       << "JK"_ba;
    QTest::newRow("nothing after $") << "100$"_ba << QByteArray();
    QTest::newRow("not hex") << "$zz1"_ba << QByteArray();
    QTest::newRow("second digit not hex") << "$4g1"_ba << QByteArray();
    QTest::newRow("single digit at the end") << "ab$4"_ba
                                             << "ab\x04"_ba;
    QTest::newRow("single non-digit at the end") << "ab$g"_ba << QByteArray();
    QTest::newRow("two digits only") << "a$414"_ba
                                     << "aA4"_ba;
    QTest::newRow("$ after $") << "$$41"_ba << QByteArray();
    QTest::newRow("8-bit and NUL") << "$FF$af$00$80"_ba
                                   << "\xFF\xAF\0\x80"_ba;
    QTest::newRow("8-bit bytes pass") << "\xAF\x80\0z"_ba
                                      << "\xAF\x80\0z"_ba;
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestUtil::decodeDollarHex()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, decoded);

    QCOMPARE(DecodeDollarHex(source), decoded);
}

// A browser stand-in that records how many arguments it got and each of them.
QString TestUtil::writeRecorder()
{
    const QString script = m_dir.filePath(QStringLiteral("browser.sh"));
    QFile file(script);
    if (!file.exists()) {
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n"
                   "dir=$(dirname \"$0\")\n"
                   "printf '%s\\n' \"$#\" \"$@\" > \"$dir/args.part\"\n"
                   "mv \"$dir/args.part\" \"$dir/args.txt\"\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QFile::remove(m_dir.filePath(QStringLiteral("args.txt")));
    return script;
}

void TestUtil::openUrl_startsQuotedProgramWithAddressAsOnlyArgument_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::newRow("spaces and &") << "http://example.com/a b?x=1&y=\"2\""_ba;
    QTest::newRow("empty") << QByteArray();
}

void TestUtil::openUrl_startsQuotedProgramWithAddressAsOnlyArgument()
{
    QFETCH(QByteArray, address);
    QVERIFY(m_dir.isValid());
    const QByteArray script = QFile::encodeName(writeRecorder());
    platform::SetBrowserCommandOverride("\""_ba + script + "\" -osint -url \"%1\""_ba);

    QVERIFY(OpenURL(address));

    QFile args(m_dir.filePath(QStringLiteral("args.txt")));
    QTRY_VERIFY_WITH_TIMEOUT(args.exists(), 10000);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(args.readAll(), "1\n"_ba + address + "\n"_ba);
}

void TestUtil::openUrl_emptyCommand_returnsFalse()
{
    platform::SetBrowserCommandOverride(QByteArray());
    QVERIFY(!OpenURL("http://example.com/"_ba));
}

void TestUtil::openUrl_noQuotedProgram_startsNothing_data()
{
    QTest::addColumn<QByteArray>("commandPattern");
    QTest::newRow("no quotes") << "SCRIPT %1"_ba;
    QTest::newRow("one quote") << "\"SCRIPT %1"_ba;
    QTest::newRow("only the placeholder quoted") << "SCRIPT \"%1\""_ba;
}

void TestUtil::openUrl_noQuotedProgram_startsNothing()
{
    QFETCH(QByteArray, commandPattern);
    QVERIFY(m_dir.isValid());
    const QByteArray script = QFile::encodeName(writeRecorder());
    platform::SetBrowserCommandOverride(commandPattern.replace("SCRIPT", script));

    // A command was found, so the call counts as done even though nothing runs.
    QVERIFY(OpenURL("http://example.com/"_ba));
    QTest::qWait(300);
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("args.txt"))));
}

QTEST_GUILESS_MAIN(TestUtil)
#include "test_util.moc"
