#include "settings/CipherTestSupport.h"
#include "settings/SettingsCipher.h"
#include "settings/SettingsFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using cipher_test::ReadFile;
using cipher_test::WriteFile;

namespace {

struct Result
{
    int exitCode;
    QByteArray out;
    QByteArray err;
};

Result Brand(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral(TARNWICK_BRAND_EXE), arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, {}, "did not finish"};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

bool IsOneLine(const QByteArray &text)
{
    return text.endsWith('\n') && text.count('\n') == 1 && text.size() > 10;
}

const QByteArray Text = "<%%ApplicationName%%>Example Tool<%%/ApplicationName%%>\r\n"
                        "<%%BranderCode%%>ab12<%%/BranderCode%%>\r\n";

QByteArray Entry(const QByteArray &tag, const QByteArray &value)
{
    return "<%%" + tag + "%%>" + value + "<%%/" + tag + "%%>\r\n";
}

// A 1 x 1 GIF, and a PNG drawn here.
const QByteArray
    Gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff\x21\xf9\x04\x01\x00"
        "\x00\x00\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
        43);
QByteArray Png()
{
    QImage picture(40, 10, QImage::Format_RGB32);
    picture.fill(qRgb(30, 90, 200));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return data;
}

QList<QByteArray> WarningLines(const QByteArray &err)
{
    QList<QByteArray> lines;
    for (const QByteArray &line : err.split('\n'))
        if (line.startsWith("warning: "))
            lines.append(line);
    return lines;
}

} // namespace

class TestBrand : public QObject
{
    Q_OBJECT

private slots:
    // A fresh folder for every case, so file counts mean something.
    void init()
    {
        temp.emplace();
        QVERIFY(temp->isValid());
    }
    void cleanup() { temp.reset(); }

    void encryptDecrypt_roundTripUnderProgramPassword()
    {
        const QString plain = dir.filePath("plain.txt");
        const QString encrypted = dir.filePath("dbsettings.dat");
        QVERIFY(WriteFile(plain, Text));
        QCOMPARE(Brand({"encrypt", plain, encrypted}).exitCode, 0);
        QCOMPARE(ReadFile(encrypted).size(), Text.size() + 20);

        // The program's own reader accepts it, and the tool reads it back.
        QVERIFY(DecryptSettingsFile(encrypted, dir.filePath("by-program.sim")));
        QCOMPARE(ReadFile(dir.filePath("by-program.sim")), Text);
        QCOMPARE(Brand({"decrypt", encrypted, dir.filePath("back.txt")}).exitCode, 0);
        QCOMPARE(ReadFile(dir.filePath("back.txt")), Text);
        QCOMPARE(Brand({"check", encrypted}).exitCode, 0);
    }

    void otherPassword_roundTripsAndPicksItsKeySize()
    {
        const QString plain = dir.filePath("plain.txt");
        const QString encrypted = dir.filePath("other.dat");
        QVERIFY(WriteFile(plain, Text));
        const QString password(48, QLatin1Char('w'));
        QCOMPARE(Brand({"--password", password, "encrypt", plain, encrypted}).exitCode, 0);
        QCOMPARE(ReadFile(encrypted).size(), Text.size() + 16 + 12);
        QCOMPARE(Brand({"decrypt", "--password", password, encrypted, dir.filePath("b")}).exitCode,
                 0);
        QCOMPARE(ReadFile(dir.filePath("b")), Text);
    }

    void refusals_exitStatusOneLineAndNoOutput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("wrong password")
            << QStringList{"--password", "nope", "decrypt", "@good", "@out"} << 3;
        QTest::newRow("program password on other file")
            << QStringList{"decrypt", "@other", "@out"} << 3;
        QTest::newRow("plain text given to decrypt")
            << QStringList{"decrypt", "@plain", "@out"} << 3;
        QTest::newRow("check with wrong password") << QStringList{"check", "@other"} << 3;
        QTest::newRow("flipped ciphertext byte") << QStringList{"decrypt", "@flipped", "@out"} << 4;
        QTest::newRow("flipped code byte") << QStringList{"decrypt", "@badcode", "@out"} << 4;
        QTest::newRow("too short") << QStringList{"decrypt", "@short", "@out"} << 4;
        QTest::newRow("check flipped") << QStringList{"check", "@flipped"} << 4;
        QTest::newRow("missing input") << QStringList{"decrypt", "@missing", "@out"} << 2;
        QTest::newRow("missing plain") << QStringList{"encrypt", "@missing", "@out"} << 2;
        QTest::newRow("output folder missing")
            << QStringList{"decrypt", "@good", "@nodir/out"} << 2;
        QTest::newRow("no arguments") << QStringList{} << 1;
        QTest::newRow("one file for decrypt") << QStringList{"decrypt", "@good"} << 1;
        QTest::newRow("unknown command") << QStringList{"unbrand", "@good", "@out"} << 1;
        QTest::newRow("unknown option") << QStringList{"--frobnicate", "check", "@good"} << 1;
        QTest::newRow("password without value") << QStringList{"check", "@good", "--password"} << 1;
        QTest::newRow("both password options")
            << QStringList{"--password", "a", "--password-hex", "61", "check", "@good"} << 1;
        QTest::newRow("odd hex digits")
            << QStringList{"--password-hex", "616", "check", "@good"} << 1;
        QTest::newRow("not hex") << QStringList{"--password-hex", "6g", "check", "@good"} << 1;
        QTest::newRow("template with a file") << QStringList{"template", "@out"} << 1;
    }

    void refusals_exitStatusOneLineAndNoOutput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QByteArray good;
        {
            QVERIFY(WriteFile(dir.filePath("plain"), Text));
            QVERIFY(EncryptSettingsFile(dir.filePath("plain"), dir.filePath("good")));
            good = ReadFile(dir.filePath("good"));
        }
        QByteArray flipped = good;
        flipped[15] = char(flipped[15] ^ 0x20);
        QByteArray badCode = good;
        badCode[badCode.size() - 1] = char(badCode[badCode.size() - 1] ^ 1);
        QVERIFY(WriteFile(dir.filePath("flipped"), flipped));
        QVERIFY(WriteFile(dir.filePath("badcode"), badCode));
        QVERIFY(WriteFile(dir.filePath("short"), good.left(19)));
        QCOMPARE(Brand({"--password", "another one", "encrypt", dir.filePath("plain"),
                        dir.filePath("other")})
                     .exitCode,
                 0);

        for (QString &a : arguments)
            if (a.startsWith(QLatin1Char('@')))
                a = dir.filePath(a.mid(1));
        const Result r = Brand(arguments);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(IsOneLine(r.err), r.err.constData());
        if (exitCode == 3)
            QVERIFY(r.err.contains("wrong password, or not an encrypted settings file"));
        QVERIFY(r.out.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("out")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 6);
    }

    void failedDecrypt_keepsExistingOutput()
    {
        QVERIFY(WriteFile(dir.filePath("plain"), Text));
        QVERIFY(EncryptSettingsFile(dir.filePath("plain"), dir.filePath("enc")));
        QVERIFY(WriteFile(dir.filePath("out"), "earlier result"));
        QCOMPARE(Brand({"--password", "x", "decrypt", dir.filePath("enc"), dir.filePath("out")})
                     .exitCode,
                 3);
        QCOMPARE(ReadFile(dir.filePath("out")), QByteArray("earlier result"));
    }

    // The shell hands over bytes that are no valid text; they must reach the
    // cipher unchanged, and the hex form must name the same password.
    void password_exactBytesAndHexAgree()
    {
        const QString plain = dir.filePath("plain.txt");
        QVERIFY(WriteFile(plain, Text));
        QProcess sh;
        sh.start("/bin/sh", {"-c",
                             "exec \"$0\" --password \"$(printf '\\351t\\351')\" encrypt "
                             "\"$1\" \"$2\"",
                             TARNWICK_BRAND_EXE, plain, dir.filePath("latin1.dat")});
        QVERIFY(sh.waitForFinished(60000));
        QCOMPARE(sh.exitCode(), 0);
        const QByteArray encrypted = ReadFile(dir.filePath("latin1.dat"));
        const cipher_test::Decrypted d = cipher_test::Decrypt("\xE9t\xE9", encrypted);
        QVERIFY(d.ok);
        QCOMPARE(d.plain, Text);

        QCOMPARE(Brand({"--password-hex", "E974e9", "decrypt", dir.filePath("latin1.dat"),
                        dir.filePath("back")})
                     .exitCode,
                 0);
        QCOMPARE(ReadFile(dir.filePath("back")), Text);
        // A password typed in UTF-8 is its UTF-8 bytes.
        QCOMPARE(Brand({"--password=\u00e9t\u00e9", "encrypt", plain, dir.filePath("utf8.dat")})
                     .exitCode,
                 0);
        QVERIFY(cipher_test::Decrypt("\xC3\xA9t\xC3\xA9", ReadFile(dir.filePath("utf8.dat"))).ok);
    }

    void template_checksCleanAndTheProgramReadsIt()
    {
        const Result t = Brand({"template"});
        QCOMPARE(t.exitCode, 0);
        const QString plain = dir.filePath("settings.txt");
        const QString encrypted = dir.filePath("dbsettings.dat");
        QVERIFY(WriteFile(plain, t.out));

        // Its banners are named by number: without the files it says so.
        Result r = Brand({"check", plain});
        QCOMPARE(r.exitCode, 5);
        QCOMPARE(WarningLines(r.err).size(), 2);
        QVERIFY(r.err.contains("banner1.dat") && r.err.contains("banner2.dat"));

        // Files that only look like pictures are read as the program reads
        // them: the strip would be hidden.
        QVERIFY(WriteFile(dir.filePath("banner1.dat"), "GIF89a"));
        QVERIFY(WriteFile(dir.filePath("banner2.dat"), "png"));
        r = Brand({"check", plain});
        QCOMPARE(r.exitCode, 5);
        QCOMPARE(WarningLines(r.err).size(), 2);
        QVERIFY2(r.err.contains("banner1.dat cannot be read as GIF") &&
                     r.err.contains("banner2.dat cannot be read as PNG"),
                 r.err.constData());

        QVERIFY(WriteFile(dir.filePath("banner1.dat"), Gif));
        QVERIFY(WriteFile(dir.filePath("banner2.dat"), Png()));
        r = Brand({"check", plain});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QVERIFY(r.out.contains("plain settings text"));

        QCOMPARE(Brand({"encrypt", plain, encrypted}).exitCode, 0);
        r = Brand({"check", encrypted});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("encrypted settings file"));

        // The listing follows the program's reading order, one line each.
        qsizetype at = 0;
        for (const QByteArray &tag :
             SettingsEntryTags() + QList<QByteArray>{"Welcome1", "Welcome2", "Banner1", "Banner2",
                                                     "Link1", "Link2", "Link3", "LastNewsId"}) {
            const qsizetype next = r.out.indexOf("  " + tag + ' ', at);
            QVERIFY2(next > at, tag.constData());
            at = next;
        }
        QVERIFY(r.out.contains("AboutText            Demo finds the keywords"));

        const std::optional<QByteArray> text = ReadSettingsPlain(dir.path());
        QVERIFY(text);
        QRandomGenerator random(3);
        const TSettingsPass pass = ReadSettingsText(*text, random);
        QCOMPARE(pass.Settings.ApplicationName, QByteArray("Demo"));
        QVERIFY(NewsButtonVisible(pass.Settings));
        QCOMPARE(pass.Settings.AffiliateURL, QByteArray("http://www.example.com/join?aff=12345"));
        QVERIFY(!pass.Settings.WelcomeHTML.isEmpty() && !pass.Settings.Link2URL.isEmpty());
        QVERIFY(pass.Settings.BannerNumber >= 1);
    }

    void check_warnsAboutWhatReadsEmpty_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QByteArray>("warning");
        const QByteArray master = Entry("MasterNewsBaseURL", "http://m/");
        QTest::newRow("entry before one already read")
            << Entry("BranderType", "Master") + Entry("ApplicationName", "Demo") << false
            << QByteArray("BranderType stands before ApplicationName");
        QTest::newRow("end marker missing")
            << "<%%ApplicationName%%>Demo\r\n" + Entry("BranderCode", "x") << false
            << QByteArray("ApplicationName has no end marker");
        QTest::newRow("family with a gap")
            << Entry("Welcome1", "a") + Entry("Welcome2", "b") + Entry("Welcome4", "d") << false
            << QByteArray("Welcome4 is never read: the Welcome family ends at Welcome3");
        QByteArray seventeen;
        for (int i = 1; i <= 17; ++i)
            seventeen += Entry("Link" + QByteArray::number(i), "c^http://u");
        QTest::newRow("more than 16")
            << seventeen << true << QByteArray("Link17 is never read: a family holds at most");
        QTest::newRow("banner without address")
            << Entry("Banner1", "top.gif") << false << QByteArray("Banner1 has no address");
        QTest::newRow("banner name without extension")
            << Entry("Banner1", "top^http://a") << false << QByteArray("has no extension");
        QTest::newRow("banner bytes of another format")
            << Entry("Banner1", "top.png^http://a") << false
            << QByteArray("banner1.dat cannot be read as PNG (the format the name \"top.png\"");
        QTest::newRow("x.gif.png holding a GIF")
            << Entry("Banner1", "x.gif.png^http://a") << false
            << QByteArray("reads banner1.dat as an animated GIF, whatever its extension says");
        QTest::newRow("Free with the Master pair")
            << Entry("BranderType", "Free") + master + Entry("MasterPublID", "1") << true
            << QByteArray("no news is ever fetched for Free");
        QTest::newRow("tag with a blank")
            << QByteArray("<%%Application Name%%>Demo<%%/Application Name%%>\r\n") +
                   Entry("BranderCode", "x")
            << false
            << QByteArray("<%%Application Name%%> holds more than letters and digits, so it is "
                          "not an entry the program reads");
        QTest::newRow("tag with a dash")
            << Entry("BranderCode", "x") + "<%%Link-1%%>a^b<%%/Link-1%%>\r\n"
            << false << QByteArray("<%%Link-1%%> holds more than letters and digits");
        QTest::newRow("value spanning lines")
            << Entry("ApplicationName", "A") + Entry("AppHelpURL", "http://a/\r\nhelp") << true
            << QByteArray("AppHelpURL spans lines: its value \"http://a/\\nhelp\" holds the line "
                          "breaks");
        QTest::newRow("link with empty address")
            << Entry("Link1", "Caption^") << false << QByteArray("Link1 has no address");
        QTest::newRow("unknown tier")
            << Entry("BranderType", "Silver") << false << QByteArray("\"Silver\" is none of");
        QTest::newRow("tier in other case")
            << Entry("BranderType", "master") + master + Entry("MasterPublID", "1") << false
            << QByteArray("\"master\" is not \"Master\"");
        QTest::newRow("tier without publisher id")
            << Entry("BranderType", "Master") + master << false
            << QByteArray("but MasterPublID is empty");
        QTest::newRow("Free without the Master pair")
            << Entry("BranderType", "Free") + Entry("PlatinumNewsBaseURL", "http://p/") +
                   Entry("PlatinumPublID", "2")
            << false << QByteArray("MasterNewsBaseURL and MasterPublID are empty");
        QTest::newRow("banner file missing")
            << Entry("Banner1", "a.gif^http://a") + Entry("Banner2", "b.png^http://b") << true
            << QByteArray("Banner2 needs the picture file banner2.dat");
        QTest::newRow("placeholder in other case")
            << Entry("AffiliateURL", "http://a/?a=%%AFFILIATEID%%&b=%%AffiliateId%%") +
                   Entry("AffiliateID", "7")
            << false << QByteArray("placeholder in another letter case");
        QTest::newRow("placeholder without id")
            << Entry("AffiliateURL", "http://a/?a=%%AFFILIATEID%%") << false
            << QByteArray("the placeholder is removed");
        QTest::newRow("misspelt tag")
            << Entry("AplicationName", "Demo") + Entry("BranderCode", "x") << false
            << QByteArray("<%%AplicationName%%> is not an entry");
        QTest::newRow("leading zero") << Entry("BranderCode", "x") + Entry("Welcome01", "w")
                                      << false << QByteArray("<%%Welcome01%%> is not an entry");
        QTest::newRow("entry twice")
            << Entry("ApplicationName", "A") + Entry("ApplicationName", "B") << false
            << QByteArray("ApplicationName appears 2 times");
        QTest::newRow("zero byte")
            << Entry("ApplicationName", "A") + QByteArray(1, '\0') + Entry("BranderCode", "b")
            << true << QByteArray("zero byte at offset 46");
        QTest::newRow("no entry at all") << QByteArray("[Settings]\r\nAppName=Example\r\n") << true
                                         << QByteArray("no entry found");
    }

    void check_warnsAboutWhatReadsEmpty()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, encrypt);
        QFETCH(QByteArray, warning);
        QString file = dir.filePath("settings.txt");
        QVERIFY(WriteFile(file, text));
        QVERIFY(WriteFile(dir.filePath("banner1.dat"), Gif));
        if (encrypt) {
            QVERIFY(EncryptSettingsFile(file, dir.filePath("dbsettings.dat")));
            file = dir.filePath("dbsettings.dat");
        }
        const Result r = Brand({"check", file});
        QCOMPARE(r.exitCode, 5);
        const QList<QByteArray> warnings = WarningLines(r.err);
        QVERIFY2(warnings.size() == 1, r.err.constData());
        QVERIFY2(warnings[0].contains(warning), warnings[0].constData());
        QVERIFY(r.err.endsWith("1 warning\n"));
        QVERIFY(r.out.contains(encrypt ? "encrypted settings file" : "plain settings text"));
    }

    void check_lineBreaksInTier_areNamed()
    {
        const QString file = dir.filePath("settings.txt");
        QVERIFY(WriteFile(file, Entry("ApplicationName", "A") + Entry("BranderType", "Gold\r\n")));
        const Result r = Brand({"check", file});
        QCOMPARE(r.exitCode, 5);
        const QList<QByteArray> warnings = WarningLines(r.err);
        QCOMPARE(warnings.size(), 2);
        for (const QByteArray &w : warnings) {
            QVERIFY2(w.contains("line breaks") && w.contains("\"Gold\\n\""), w.constData());
            QVERIFY(!w.contains('\r'));
        }
    }

    void check_lowerCaseLastNewsId_isClean()
    {
        // The program finds and rewrites the entry in any letter case.
        const QString file = dir.filePath("settings.txt");
        QVERIFY(WriteFile(file, Entry("ApplicationName", "A") + Entry("lastNewsID", "5")));
        const Result r = Brand({"check", file});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("LastNewsId           5"));
    }

    void check_plainTextNamedDbsettings_isAnError()
    {
        QVERIFY(WriteFile(dir.filePath("dbsettings.dat"), Text));
        Result r = Brand({"check", dir.filePath("dbsettings.dat")});
        QCOMPARE(r.exitCode, 5);
        QVERIFY2(r.err.startsWith("error: ") && r.err.contains("is plain text") &&
                     r.err.contains("fails its check"),
                 r.err.constData());
        QVERIFY(WarningLines(r.err).isEmpty());
        // Under another name it is the text to encrypt, and checks clean.
        QVERIFY(WriteFile(dir.filePath("settings.txt"), Text));
        r = Brand({"check", dir.filePath("settings.txt")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
    }

    void check_damagedEncryptedHoldingMarkers_isDamaged()
    {
        QVERIFY(WriteFile(dir.filePath("plain"), Text + Text));
        QVERIFY(EncryptSettingsFile(dir.filePath("plain"), dir.filePath("dbsettings.dat")));
        QByteArray damaged = ReadFile(dir.filePath("dbsettings.dat"));
        damaged.replace(30, 3, "<%%");
        QVERIFY(WriteFile(dir.filePath("dbsettings.dat"), damaged));
        const Result r = Brand({"check", dir.filePath("dbsettings.dat")});
        QCOMPARE(r.exitCode, 4);
        QVERIFY2(IsOneLine(r.err) && r.err.contains("damaged"), r.err.constData());
        QVERIFY(r.out.isEmpty());
    }

    void check_unreadableFile_saysSo()
    {
        QVERIFY(QDir().mkdir(dir.filePath("dbsettings.dat")));
        const Result r = Brand({"check", dir.filePath("dbsettings.dat")});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(IsOneLine(r.err) && r.err.contains("cannot read") &&
                     r.err.contains("takes a settings file it cannot read as missing"),
                 r.err.constData());
    }

    void check_skin_data()
    {
        QTest::addColumn<QByteArray>("skin");
        QTest::addColumn<QByteArray>("warning"); // empty: none
        QTest::newRow("a sheet") << QByteArray("#panBanner { background: #123456; }")
                                 << QByteArray();
        QTest::newRow("compressed sheet")
            << qCompress(QByteArray("QFrame { color: red; }")) << QByteArray();
        QTest::newRow("unclosed block") << QByteArray("QFrame { background: #aabbcc")
                                        << QByteArray("not a style sheet Qt can parse");
        QTest::newRow("not a sheet")
            << QByteArray("Hello") << QByteArray("not a style sheet Qt can parse");
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10)
                                << QByteArray("holds no style sheet the program can read");
    }
    void check_skin()
    {
        QFETCH(QByteArray, skin);
        QFETCH(QByteArray, warning);
        QVERIFY(WriteFile(dir.filePath("mainskin.dat"), skin));
        QVERIFY(WriteFile(dir.filePath("settings.txt"), Text));
        const Result r = Brand({"check", dir.filePath("settings.txt")});
        if (warning.isEmpty()) {
            QCOMPARE(r.exitCode, 0);
            QVERIFY2(r.err.isEmpty(), r.err.constData());
            return;
        }
        QCOMPARE(r.exitCode, 5);
        const QList<QByteArray> warnings = WarningLines(r.err);
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].contains(warning), warnings[0].constData());
    }

    void help_explainsCommands()
    {
        const Result r = Brand({"--help"});
        QCOMPARE(r.exitCode, 0);
        for (const char *word : {"template", "encrypt PLAIN OUT", "decrypt IN OUT", "check FILE",
                                 "--password", "--password-hex", "Exit status"})
            QVERIFY2(r.out.contains(word), word);
    }

private:
    std::optional<QTemporaryDir> temp;
    struct Folder
    {
        std::optional<QTemporaryDir> &t;
        QString filePath(const QString &name) const { return t->filePath(name); }
        QString path() const { return t->path(); }
    } dir{temp};
};

QTEST_GUILESS_MAIN(TestBrand)
#include "test_brand.moc"
