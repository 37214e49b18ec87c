// Our streams are the data of a zip AES entry; 7-Zip is an independent
// implementation to check them against in both directions.

#include "CipherTestSupport.h"
#include "TestSettingsCipher.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace cipher_test;

namespace {

QString SevenZip()
{
    for (const char *name : {"7z", "7zz", "7za"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

struct ProcessResult
{
    int exitCode;
    QByteArray output;
};

ProcessResult Run(const QString &program, const QStringList &arguments, const QString &folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(120000))
        return {-1, "timed out"};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll()};
}

quint16 U16(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint32 U32(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
void Put16(QByteArray &b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void Put32(QByteArray &b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

struct AesEntry
{
    quint16 method = 0;
    quint16 vendorVersion = 0;
    int strength = 0;
    quint16 actualMethod = 0xFFFF;
    quint32 plainSize = 0;
    QByteArray data; // salt, verifier, ciphertext, code
};

// The first entry of a single-entry archive, located through the central
// directory so that a data descriptor cannot mislead us.
AesEntry FirstEntry(const QByteArray &zip)
{
    AesEntry entry;
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0)
        return entry;
    const qsizetype central = U32(zip, end + 16);
    if (U32(zip, central) != 0x02014b50)
        return entry;
    entry.method = U16(zip, central + 10);
    const quint32 compressedSize = U32(zip, central + 20);
    entry.plainSize = U32(zip, central + 24);
    const quint16 nameLength = U16(zip, central + 28);
    const quint16 extraLength = U16(zip, central + 30);
    const qsizetype local = U32(zip, central + 42);

    const QByteArray extra = zip.mid(central + 46 + nameLength, extraLength);
    for (qsizetype at = 0; at + 4 <= extra.size();) {
        const quint16 id = U16(extra, at);
        const quint16 size = U16(extra, at + 2);
        if (id == 0x9901 && size == 7 && extra.mid(at + 6, 2) == "AE") {
            entry.vendorVersion = U16(extra, at + 4);
            entry.strength = quint8(extra[at + 8]);
            entry.actualMethod = U16(extra, at + 9);
        }
        at += 4 + size;
    }
    const qsizetype data = local + 30 + U16(zip, local + 26) + U16(zip, local + 28);
    entry.data = zip.mid(data, compressedSize);
    return entry;
}

// One stored AE-2 entry (CRC 0, method 99, actual method 0) holding `data`.
QByteArray MakeZip(const QByteArray &name, const QByteArray &data, quint32 plainSize, int strength)
{
    QByteArray extra;
    Put16(extra, 0x9901);
    Put16(extra, 7);
    Put16(extra, 2);
    extra.append("AE");
    extra.append(char(strength));
    Put16(extra, 0);

    const auto common = [&](QByteArray &h) {
        Put16(h, 51);     // version needed
        Put16(h, 0x0001); // encrypted
        Put16(h, 99);
        Put16(h, 0);      // time
        Put16(h, 0x0021); // 1980-01-01
        Put32(h, 0);      // no CRC in AE-2
        Put32(h, quint32(data.size()));
        Put32(h, plainSize);
        Put16(h, quint16(name.size()));
        Put16(h, quint16(extra.size()));
    };
    QByteArray zip;
    Put32(zip, 0x04034b50);
    common(zip);
    zip += name + extra + data;

    const quint32 centralOffset = quint32(zip.size());
    Put32(zip, 0x02014b50);
    Put16(zip, 0x031E); // made by: Unix, 3.0
    common(zip);
    Put16(zip, 0); // comment
    Put16(zip, 0); // disk
    Put16(zip, 0); // internal attributes
    Put32(zip, 0100644u << 16);
    Put32(zip, 0); // local header offset
    zip += name + extra;
    const quint32 centralSize = quint32(zip.size()) - centralOffset;

    Put32(zip, 0x06054b50);
    Put16(zip, 0);
    Put16(zip, 0);
    Put16(zip, 1);
    Put16(zip, 1);
    Put32(zip, centralSize);
    Put32(zip, centralOffset);
    Put16(zip, 0);
    return zip;
}

void AddInteropRows()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("strength");
    QTest::addColumn<int>("plainSize");
    QTest::newRow("AES-128") << QByteArray("qzmvtrplok") << "AES128" << 1 << 70000;
    QTest::newRow("AES-128, empty") << QByteArray("qzmvtrplok") << "AES128" << 1 << 0;
    QTest::newRow("AES-192") << QByteArray("0123456789abcdefghijABCDEFGHIJ-+") << "AES192" << 2
                             << 70000;
    QTest::newRow("AES-256") << QByteArray("0123456789abcdefghijABCDEFGHIJ-+0123456789abcdef")
                             << "AES256" << 3 << 70000;
}

} // namespace

void TestSettingsCipher::sevenZipEntry_decryptsWithOurCipher_data()
{
    AddInteropRows();
}

void TestSettingsCipher::sevenZipEntry_decryptsWithOurCipher()
{
    QFETCH(QByteArray, password);
    QFETCH(QString, method);
    QFETCH(int, strength);
    QFETCH(int, plainSize);
    const QString sevenZip = SevenZip();
    if (sevenZip.isEmpty())
        QSKIP("7-Zip (7z, 7zz or 7za) is not installed; install the 7zip package");

    QTemporaryDir dir;
    const QByteArray plain = RandomBytes(plainSize, 21);
    QVERIFY(WriteFile(dir.filePath("entry.bin"), plain));
    const ProcessResult made = Run(sevenZip,
                                   {"a", "-tzip", "-mem=" + method, "-mx0",
                                    "-p" + QString::fromLatin1(password), "out.zip", "entry.bin"},
                                   dir.path());
    QVERIFY2(made.exitCode == 0, made.output.constData());
    const AesEntry entry = FirstEntry(ReadFile(dir.filePath("out.zip")));
    QCOMPARE(entry.method, quint16(99));
    QCOMPARE(entry.strength, strength);
    QCOMPARE(entry.actualMethod, quint16(0));
    QCOMPARE(entry.plainSize, quint32(plainSize));
    QCOMPARE(entry.data.size(), plainSize + 4 * strength + 4 + 12);

    const Decrypted ours = Decrypt(password, entry.data, 4096);
    QVERIFY(ours.ok);
    QCOMPARE(ours.plain, plain);
    QVERIFY(!Decrypt(password + "x", entry.data).ok);
}

void TestSettingsCipher::ourStream_acceptedAndExtractedBy7Zip_data()
{
    AddInteropRows();
}

void TestSettingsCipher::ourStream_acceptedAndExtractedBy7Zip()
{
    QFETCH(QByteArray, password);
    QFETCH(int, strength);
    QFETCH(int, plainSize);
    const QString sevenZip = SevenZip();
    if (sevenZip.isEmpty())
        QSKIP("7-Zip (7z, 7zz or 7za) is not installed; install the 7zip package");

    QTemporaryDir dir;
    const QByteArray plain = RandomBytes(plainSize, 22);
    bool ok = false;
    const QByteArray stream = Encrypt(password, plain, 0x40000, &ok);
    QVERIFY(ok);
    const QString pw = "-p" + QString::fromLatin1(password);

    QVERIFY(WriteFile(dir.filePath("ours.zip"),
                      MakeZip("entry.bin", stream, quint32(plainSize), strength)));
    const ProcessResult tested = Run(sevenZip, {"t", pw, "ours.zip"}, dir.path());
    QVERIFY2(tested.exitCode == 0, tested.output.constData());
    const ProcessResult extracted = Run(sevenZip, {"x", "-y", pw, "-oout", "ours.zip"}, dir.path());
    QVERIFY2(extracted.exitCode == 0, extracted.output.constData());
    QVERIFY(QFile::exists(dir.filePath("out/entry.bin")));
    QCOMPARE(ReadFile(dir.filePath("out/entry.bin")), plain);

    // 7-Zip really checks what we wrote: a flipped code byte is refused.
    QByteArray damaged = stream;
    damaged[damaged.size() - 3] = char(damaged[damaged.size() - 3] ^ 1);
    QVERIFY(WriteFile(dir.filePath("damaged.zip"),
                      MakeZip("entry.bin", damaged, quint32(plainSize), strength)));
    QVERIFY(Run(sevenZip, {"t", pw, "damaged.zip"}, dir.path()).exitCode != 0);
}
