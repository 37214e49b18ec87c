#include "settings/CipherTestSupport.h"
#include "settings/SettingsCipher.h"

#include <QFile>
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

const QByteArray Text = "[Settings]\r\nAppName=Example Tool\r\nBrander=ab12\r\n";

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

    void help_explainsCommands()
    {
        const Result r = Brand({"--help"});
        QCOMPARE(r.exitCode, 0);
        for (const char *word :
             {"encrypt PLAIN OUT", "decrypt IN OUT", "--password", "Exit status"})
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
