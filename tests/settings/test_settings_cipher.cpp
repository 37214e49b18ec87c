// SHA1_Transform is the independent compression step for the pool model.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "CipherTestSupport.h"
#include "TestSettingsCipher.h"
#include "settings/AesLib.h"
#include "settings/SettingsCipher.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <openssl/sha.h>

using namespace cipher_test;

namespace {

const QByteArray Program("qzmvtrplok");

// Full SHA-1 on top of the pool's compression step.
QByteArray Sha1(const QByteArray &message)
{
    quint32 state[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    QByteArray padded = message;
    padded.append('\x80');
    while (padded.size() % 64 != 56)
        padded.append('\0');
    char length[8];
    qToBigEndian<quint64>(quint64(message.size()) * 8, length);
    padded.append(length, 8);
    for (qsizetype i = 0; i < padded.size(); i += 64)
        aes::Sha1Compress(state, reinterpret_cast<const quint8 *>(padded.constData() + i));
    QByteArray digest(20, Qt::Uninitialized);
    for (int i = 0; i < 5; ++i)
        qToBigEndian<quint32>(state[i], digest.data() + 4 * i);
    return digest;
}

// Reads and writes until a byte budget is spent, then reports an error.
class FailingDevice : public QIODevice
{
public:
    FailingDevice(const QByteArray &data, qint64 failAfter) : data(data), failAfter(failAfter)
    {
        open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    QByteArray written;
    int readCalls = 0;

protected:
    qint64 readData(char *dest, qint64 max) override
    {
        ++readCalls;
        const qint64 left = std::min<qint64>(failAfter, data.size()) - used;
        if (left <= 0)
            return used >= failAfter ? -1 : 0;
        const qint64 n = std::min(left, max);
        memcpy(dest, data.constData() + used, size_t(n));
        used += n;
        return n;
    }
    qint64 writeData(const char *source, qint64 length) override
    {
        const qint64 n = std::min(length, failAfter - used);
        if (n <= 0)
            return -1;
        written.append(source, n);
        used += n;
        return n;
    }

private:
    QByteArray data;
    qint64 failAfter;
    qint64 used = 0;
};

// The salt generator written again on OpenSSL's compression function.
QByteArray ModelMix(QByteArray pool)
{
    for (int i = 0; i < 260; i += 20) {
        const QByteArray previous = pool.mid(i ? i - 20 : 240, 20);
        SHA_CTX ctx{};
        unsigned int *h[5] = {&ctx.h0, &ctx.h1, &ctx.h2, &ctx.h3, &ctx.h4};
        for (int j = 0; j < 5; ++j)
            *h[j] = qFromLittleEndian<quint32>(previous.constData() + 4 * j);
        SHA1_Transform(
            &ctx, reinterpret_cast<const unsigned char *>((pool + pool).mid(i, 64).constData()));
        for (int j = 0; j < 5; ++j)
            qToLittleEndian<quint32>(*h[j], pool.data() + i + 4 * j);
    }
    return pool;
}

QByteArray ModelSalts(const std::function<QByteArray()> &entropy260, int count)
{
    QByteArray r(260, '\0'), o(260, '\0');
    const auto refresh = [&] {
        o = r;
        r = entropy260();
        for (int i = 0; i < 260; ++i)
            r[i] = char(r[i] ^ ~o[i]);
        r = ModelMix(r);
        o = ModelMix(o);
    };
    refresh();
    for (int i = 0; i < 20; ++i)
        r = ModelMix(r);
    refresh();
    QByteArray out = o;
    while (out.size() < count) {
        refresh();
        out += o;
    }
    return out.left(count);
}

// A context keyed under `password` and `salt`; returns the verification value.
QByteArray Key(CipherContext &cx, int mode, const QByteArray &password, const QByteArray &salt)
{
    quint8 verifier[2] = {};
    const int rc = CipherInit(cx, mode, reinterpret_cast<const quint8 *>(password.constData()),
                              quint32(password.size()),
                              reinterpret_cast<const quint8 *>(salt.constData()), verifier);
    return rc == 0 ? QByteArray(reinterpret_cast<const char *>(verifier), 2) : QByteArray();
}

// Runs the text through the context in pieces of the given sizes, in turn;
// returns the result followed by the code.
QByteArray Apply(CipherContext &cx, QByteArray data, const QList<int> &pieces, bool encrypt)
{
    auto *p = reinterpret_cast<quint8 *>(data.data());
    for (qsizetype done = 0, i = 0; done < data.size(); ++i) {
        const qsizetype n = std::min<qsizetype>(pieces[i % pieces.size()], data.size() - done);
        encrypt ? CipherEncrypt(cx, p + done, size_t(n)) : CipherDecrypt(cx, p + done, size_t(n));
        done += n;
    }
    quint8 mac[10];
    CipherFinish(cx, mac);
    return data + QByteArray(reinterpret_cast<const char *>(mac), 10);
}

class CountingEntropy
{
public:
    explicit CountingEntropy(quint8 start) : next(start) {}
    quint32 operator()(quint8 *dest, quint32 requested)
    {
        const quint32 n = std::min<quint32>(requested, 3);
        for (quint32 i = 0; i < n; ++i)
            dest[i] = next++;
        return n;
    }

private:
    quint8 next;
};

} // namespace

void TestSettingsCipher::sha1_fipsVectors_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("digest");
    QTest::newRow("abc") << QByteArray("abc")
                         << QByteArray::fromHex("a9993e364706816aba3e25717850c26c9cd0d89d");
    QTest::newRow("448 bits") << QByteArray(
                                     "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")
                              << QByteArray::fromHex("84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    QTest::newRow("million a") << QByteArray(1000000, 'a')
                               << QByteArray::fromHex("34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    // Padding edges, against OpenSSL.
    for (int length : {0, 55, 56, 63, 64, 65, 1000}) {
        const QByteArray message = RandomBytes(length, quint32(length));
        unsigned char digest[20];
        SHA1(reinterpret_cast<const unsigned char *>(message.constData()), size_t(length), digest);
        QTest::addRow("%d bytes", length)
            << message << QByteArray(reinterpret_cast<const char *>(digest), 20);
    }
}

void TestSettingsCipher::sha1_fipsVectors()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, digest);
    QCOMPARE(Sha1(message).toHex(), digest.toHex());
}

void TestSettingsCipher::randomPool_deterministicPerSourceAndChunkIndependent()
{
    RandomPool a, b, c;
    a.Initialise(CountingEntropy(0));
    b.Initialise(CountingEntropy(0));
    c.Initialise(CountingEntropy(1));

    // 8 bytes at a time across several refreshes against one big take.
    QByteArray piecewise(8 * 100, '\0'), whole(8 * 100, '\0'), other(8 * 100, '\0');
    for (int i = 0; i < 100; ++i)
        a.Take(reinterpret_cast<quint8 *>(piecewise.data()) + 8 * i, 8);
    b.Take(reinterpret_cast<quint8 *>(whole.data()), quint32(whole.size()));
    c.Take(reinterpret_cast<quint8 *>(other.data()), quint32(other.size()));
    QCOMPARE(piecewise.toHex(), whole.toHex());
    QVERIFY(whole != other);

    a.Wipe();
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(a.R), 260), QByteArray(260, '\0'));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(a.O), 260), QByteArray(260, '\0'));
}

void TestSettingsCipher::randomPool_matchesModelOnOpenSslCompression()
{
    const QByteArray pool = RandomBytes(260, 77);
    QByteArray mixed = pool;
    RandomPool::Mix(reinterpret_cast<quint8 *>(mixed.data()));
    QCOMPARE(mixed.toHex(), ModelMix(pool).toHex());

    quint8 next = 0;
    const auto counting = [&next] {
        QByteArray bytes(260, '\0');
        for (auto &c : bytes)
            c = char(next++);
        return bytes;
    };
    RandomPool generator;
    generator.Initialise(CountingEntropy(0));
    QByteArray taken(700, '\0');
    generator.Take(reinterpret_cast<quint8 *>(taken.data()), 700);
    QCOMPARE(taken.toHex(), ModelSalts(counting, 700).toHex());
}

void TestSettingsCipher::randomPool_deadSourceDoesNotHang()
{
    RandomPool pool;
    pool.Initialise([](quint8 *, quint32) { return quint32(0); });
    quint8 salt[300];
    pool.Take(salt, sizeof salt);
}

void TestSettingsCipher::salts_freshForEveryEncryption()
{
    // Real counter source, objects made back to back as the program does.
    QSet<QByteArray> salts;
    for (int i = 0; i < 200; ++i)
        salts.insert(Encrypt(Program, {}).left(8));
    QCOMPARE(salts.size(), 200);
}

void TestSettingsCipher::cipherInit_matchesIndependentDerivationAndKeyStream_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("password");
    QTest::newRow("AES-128") << 1 << Program;
    QTest::newRow("AES-192") << 2 << QByteArray(40, 'k');
    QTest::newRow("AES-256") << 3 << QByteArray(100, 'z');
    QTest::newRow("empty password") << 1 << QByteArray();
}

void TestSettingsCipher::cipherInit_matchesIndependentDerivationAndKeyStream()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, password);
    const int keyLength = 8 * mode + 8;
    const QByteArray salt =
        QByteArray::fromHex("00112233445566778899aabbccddeeff").left(4 * mode + 4);

    CipherContext cx;
    const QByteArray verifier = Key(cx, mode, password, salt);
    // Zeros in, key stream out.
    const QByteArray out = Apply(cx, QByteArray(48, '\0'), {48}, true);

    const QByteArray derived = Pbkdf2(password, salt, 2 * keyLength + 2);
    QCOMPARE(verifier.toHex(), derived.mid(2 * keyLength).toHex());
    QCOMPARE(out.left(48).toHex(), KeyStream(derived.left(keyLength), 48).toHex());
    QCOMPARE(out.mid(48).toHex(),
             HmacSha1(derived.mid(keyLength, keyLength), out.left(48)).left(10).toHex());
}

void TestSettingsCipher::cipherInit_refusesLongPasswordAndBadMode()
{
    CipherContext cx;
    const QByteArray salt(16, 's');
    const QByteArray longPassword(129, 'p');
    quint8 verifier[2];
    const auto init = [&](int mode, qsizetype length) {
        return CipherInit(cx, mode, reinterpret_cast<const quint8 *>(longPassword.constData()),
                          quint32(length), reinterpret_cast<const quint8 *>(salt.data()), verifier);
    };
    QCOMPARE(init(3, 129), aes::PasswordTooLong);
    QCOMPARE(init(3, 128), 0);
    QCOMPARE(init(0, 10), aes::BadMode);
    QCOMPARE(init(4, 10), aes::BadMode);
    QCOMPARE(init(4, 129), aes::PasswordTooLong);
}

void TestSettingsCipher::transform_anyChunkingSameBytes()
{
    const QByteArray salt(8, 'x');
    const QByteArray plain = RandomBytes(70000, 7);
    const auto run = [&](const QByteArray &data, const QList<int> &pieces, bool encrypt) {
        CipherContext cx;
        Key(cx, 1, Program, salt);
        return Apply(cx, data, pieces, encrypt);
    };
    const QByteArray whole = run(plain, {70000}, true);
    QCOMPARE(whole.left(70000), Xor(plain, KeyStream(Pbkdf2(Program, salt, 34).left(16), 70000)));
    for (const QList<int> &pieces :
         {QList<int>{1}, {3, 16, 17}, {15}, {16}, {16385, 1}, {5, 40000, 11}, {0, 33}})
        QCOMPARE(run(plain, pieces, true), whole);
    // The code is over the ciphertext both ways.
    for (const QList<int> &pieces : {QList<int>{70000}, {7, 4096}})
        QCOMPARE(run(whole.left(70000), pieces, false), plain + whole.right(10));
}

void TestSettingsCipher::transform_counterCarryOutOfByte7IsDropped()
{
    const QByteArray salt(8, 'c');
    const QByteArray key = Pbkdf2(Program, salt, 34).left(16);
    // The block after counter 2^64-1 is the encryption of sixteen zero bytes.
    const QByteArray expected =
        KeyStream(key, 16, ~quint64(0)) + AesEcb(key, QByteArray(16, '\0')) + KeyStream(key, 16, 1);
    for (int piece : {1, 48}) { // byte-wise path and batched path
        CipherContext cx;
        Key(cx, 1, Program, salt);
        qToLittleEndian<quint64>(~quint64(0) - 1, cx.counter);
        QCOMPARE(Apply(cx, QByteArray(48, '\0'), {piece}, true).left(48).toHex(), expected.toHex());
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(cx.counter) + 8, 8),
                 QByteArray(8, '\0'));
    }
}

void TestSettingsCipher::encrypt_layoutAndKeySizeFollowPasswordLength_data()
{
    QTest::addColumn<int>("passwordLength");
    QTest::addColumn<int>("keyLength");
    QTest::newRow("0") << 0 << 16;
    QTest::newRow("10") << 10 << 16;
    QTest::newRow("31") << 31 << 16;
    QTest::newRow("32") << 32 << 24;
    QTest::newRow("47") << 47 << 24;
    QTest::newRow("48") << 48 << 32;
    QTest::newRow("128") << 128 << 32;
}

void TestSettingsCipher::encrypt_layoutAndKeySizeFollowPasswordLength()
{
    QFETCH(int, passwordLength);
    QFETCH(int, keyLength);
    const QByteArray password = RandomBytes(passwordLength, 99);
    // Long enough for counters past 255 and several key-stream batches.
    const QByteArray plain = RandomBytes(40000, quint32(passwordLength));
    bool ok = false;
    const QByteArray file = Encrypt(password, plain, 0x40000, &ok);
    QVERIFY(ok);
    QCOMPARE(file.size(), keyLength / 2 + 2 + plain.size() + 10);
    QCOMPARE(TEncryption(password, 16).Mode, (keyLength - 8) / 8);

    const Decrypted reference = ReferenceDecrypt(password, file, keyLength);
    QVERIFY(reference.ok);
    QCOMPARE(reference.plain, plain);
}

void TestSettingsCipher::roundTrip_bufferBoundaries_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("one block") << 16;
    QTest::newRow("buffer") << 0x40000;
    QTest::newRow("buffer+1") << 0x40001;
    QTest::newRow("two buffers") << 0x80000;
}

void TestSettingsCipher::roundTrip_bufferBoundaries()
{
    QFETCH(int, size);
    const QByteArray plain = RandomBytes(size, 3);
    bool ok = false;
    const QByteArray file = Encrypt(Program, plain, 0x40000, &ok);
    QVERIFY(ok);
    QCOMPARE(file.size(), size + 20);
    const Decrypted back = Decrypt(Program, file);
    QVERIFY(back.ok);
    QCOMPARE(back.plain, plain);
    QVERIFY(ReferenceDecrypt(Program, file, 16).ok);
}

void TestSettingsCipher::roundTrip_bufferSizeDoesNotChangeBytes()
{
    const QByteArray plain = RandomBytes(5000, 11);
    const QByteArray file = Encrypt(Program, plain, 1);
    QVERIFY(ReferenceDecrypt(Program, file, 16).ok);
    const Decrypted small = Decrypt(Program, file, 1);
    const Decrypted large = Decrypt(Program, file, 0x40000);
    QVERIFY(small.ok);
    QVERIFY(large.ok);
    QCOMPARE(small.plain, plain);
    QCOMPARE(large.plain, plain);

    // Damaged data gives the same garbled bytes whatever the buffer.
    QByteArray damaged = file;
    damaged[100] = char(damaged[100] ^ 0x40);
    const Decrypted smallBad = Decrypt(Program, damaged, 1);
    const Decrypted largeBad = Decrypt(Program, damaged, 0x40000);
    QVERIFY(!smallBad.ok);
    QVERIFY(!largeBad.ok);
    QCOMPARE(smallBad.plain, largeBad.plain);
}

void TestSettingsCipher::encrypt_sameTextTwiceDiffersAndBothDecrypt()
{
    const QByteArray plain("[Settings]\r\nAppName=Example\r\n");
    const QByteArray first = Encrypt(Program, plain);
    const QByteArray second = Encrypt(Program, plain);
    QVERIFY(first.left(8) != second.left(8));
    QVERIFY(first.mid(10) != second.mid(10));
    QCOMPARE(Decrypt(Program, first).plain, plain);
    QCOMPARE(Decrypt(Program, second).plain, plain);
}

void TestSettingsCipher::progressHandler_reportsKindsAndCounts()
{
    QList<QPair<int, qint64>> seen;
    const auto record = [&seen](TEncryption *, quint8 kind, qint64 count) {
        seen.append({kind, count});
    };
    QByteArray plain = RandomBytes(0x40001, 5);
    QBuffer in(&plain);
    in.open(QIODevice::ReadOnly);
    QByteArray file;
    QBuffer out(&file);
    out.open(QIODevice::WriteOnly);
    TEncryption cipher(Program, 0x40000);
    cipher.OnProgress = record;
    QVERIFY(cipher.EncryptStream(&in, &out));
    QCOMPARE(seen, (QList<QPair<int, qint64>>{{4, 0x40000}, {4, 0x40001}}));

    seen.clear();
    out.close();
    out.open(QIODevice::ReadOnly);
    QVERIFY(cipher.DecryptStream(&out, nullptr, file.size()));
    QCOMPARE(seen, (QList<QPair<int, qint64>>{{1, -file.size()}, {5, 0x40000}, {5, 1}}));
}

void TestSettingsCipher::decrypt_wrongPasswordWritesNothing()
{
    const QByteArray file = Encrypt(Program, "secret text");
    // Passwords whose 2-byte check happens to pass would need the code to
    // catch them; these three are checked not to.
    for (const QByteArray &wrong :
         {QByteArray("qzmvtrplol"), QByteArray(), QByteArray("QZMVTRPLOK")}) {
        if (ReferenceDecrypt(wrong, file, 16).plain.size() > 0)
            continue;
        FailingDevice dest({}, 1 << 20);
        QByteArray source = file;
        QBuffer in(&source);
        in.open(QIODevice::ReadOnly);
        TEncryption cipher(wrong, 0x40000);
        QVERIFY(!cipher.DecryptStream(&in, &dest, file.size()));
        QVERIFY(dest.written.isEmpty());
        // Stopped after the header.
        QCOMPARE(in.pos(), 10);
    }
}

void TestSettingsCipher::decrypt_flippedBitWritesWholeTextThenFails()
{
    const QByteArray plain = RandomBytes(3000, 8);
    const QByteArray file = Encrypt(Program, plain);
    for (int at : {10, 1000, 10 + 2999}) {
        QByteArray damaged = file;
        damaged[at] = char(damaged[at] ^ 0x01);
        QByteArray expected = plain;
        expected[at - 10] = char(expected[at - 10] ^ 0x01);
        const Decrypted result = Decrypt(Program, damaged, 7);
        QVERIFY(!result.ok);
        QCOMPARE(result.plain, expected);
    }
    // The code itself damaged.
    QByteArray badCode = file;
    badCode[badCode.size() - 1] = char(badCode[badCode.size() - 1] ^ 0x80);
    const Decrypted result = Decrypt(Program, badCode);
    QVERIFY(!result.ok);
    QCOMPARE(result.plain, plain);
}

void TestSettingsCipher::decrypt_withoutDestOnlyVerifies()
{
    QByteArray file = Encrypt(Program, RandomBytes(1000, 1));
    const auto verify = [](const QByteArray &password, QByteArray data) {
        QBuffer in(&data);
        in.open(QIODevice::ReadOnly);
        return TEncryption(password, 64).DecryptStream(&in, nullptr, data.size());
    };
    QVERIFY(verify(Program, file));
    QVERIFY(!verify("wrong", file));
    file[500] = char(file[500] ^ 4);
    QVERIFY(!verify(Program, file));
}

void TestSettingsCipher::decrypt_truncatedSourceFails_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("plainSize");
    QTest::newRow("mode 1, empty text") << Program << 0;
    QTest::newRow("mode 1, 40 bytes") << Program << 40;
    QTest::newRow("mode 3, empty text") << QByteArray(48, 'p') << 0;
    QTest::newRow("mode 3, 40 bytes") << QByteArray(48, 'p') << 40;
}

void TestSettingsCipher::decrypt_truncatedSourceFails()
{
    QFETCH(QByteArray, password);
    QFETCH(int, plainSize);
    const QByteArray file = Encrypt(password, RandomBytes(plainSize, 2));
    for (qsizetype length = 0; length < file.size(); ++length) {
        const QByteArray cut = file.left(length);
        // Told the truth about the length, and told the original length.
        QVERIFY2(!Decrypt(password, cut, 16).ok, qPrintable(QString::number(length)));
        QVERIFY2(!Decrypt(password, cut, 16, file.size()).ok, qPrintable(QString::number(length)));
    }
    // A negative size and a size longer than the data by one.
    QVERIFY(!Decrypt(password, file, 16, -1).ok);
    QVERIFY(!Decrypt(password, file, 16, file.size() + 1).ok);
    QVERIFY(Decrypt(password, file, 16).ok);
}

void TestSettingsCipher::streams_failingDeviceEndsWithFalse_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<bool>("failingSource");
    QTest::addColumn<int>("failAfter");
    const int plainSize = 2000;
    const int fileSize = plainSize + 20;
    for (int n : {0, 5, 8, 9, 10, 11, 500, fileSize - 10, fileSize - 1})
        QTest::addRow("decrypt, source fails after %d", n) << false << true << n;
    for (int n : {0, 1, 999, plainSize - 1})
        QTest::addRow("decrypt, dest fails after %d", n) << false << false << n;
    for (int n : {0, 1, 100, plainSize - 1})
        QTest::addRow("encrypt, source fails after %d", n) << true << true << n;
    for (int n : {0, 7, 10, 11, 1000, fileSize - 10, fileSize - 1})
        QTest::addRow("encrypt, dest fails after %d", n) << true << false << n;
}

void TestSettingsCipher::streams_failingDeviceEndsWithFalse()
{
    QFETCH(bool, encrypt);
    QFETCH(bool, failingSource);
    QFETCH(int, failAfter);
    const QByteArray plain = RandomBytes(2000, 4);
    QByteArray data = encrypt ? plain : Encrypt(Program, plain);
    TEncryption cipher(Program, 300);

    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QByteArray sink;
    QBuffer sinkBuffer(&sink);
    sinkBuffer.open(QIODevice::WriteOnly);
    FailingDevice failing(data, failAfter);
    QIODevice *source = failingSource ? static_cast<QIODevice *>(&failing) : &buffer;
    QIODevice *dest = failingSource ? static_cast<QIODevice *>(&sinkBuffer) : &failing;

    const bool ok = encrypt ? cipher.EncryptStream(source, dest)
                            : cipher.DecryptStream(source, dest, data.size());
    QVERIFY(!ok);
    QVERIFY(failing.readCalls < 100);
}

void TestSettingsCipher::streams_passwordOver128BytesWritesNothing()
{
    const QByteArray tooLong(129, 'q');
    QByteArray plain("text");
    QBuffer in(&plain);
    in.open(QIODevice::ReadOnly);
    QByteArray out;
    QBuffer dest(&out);
    dest.open(QIODevice::WriteOnly);
    TEncryption cipher(tooLong, 64);
    QVERIFY(!cipher.EncryptStream(&in, &dest));
    QVERIFY(out.isEmpty());

    // A file made under the first 128 bytes is still refused.
    QByteArray file = Encrypt(tooLong.left(128), plain);
    QBuffer source(&file);
    source.open(QIODevice::ReadOnly);
    QVERIFY(!cipher.DecryptStream(&source, &dest, file.size()));
    QVERIFY(out.isEmpty());
}

void TestSettingsCipher::settingsFile_roundTripAndLayout()
{
    QTemporaryDir dir;
    const QString plainPath = dir.filePath("dbsettings.sim");
    const QString encryptedPath = dir.filePath("dbsettings.dat");
    const QString backPath = dir.filePath("back.sim");
    const QByteArray plain = RandomBytes(0x40000 + 123, 9);
    for (const QByteArray &text : {QByteArray(), plain}) {
        QVERIFY(WriteFile(plainPath, text));
        QVERIFY(WriteFile(backPath, "stale content, longer than nothing"));

        QVERIFY(EncryptSettingsFile(plainPath, encryptedPath));
        const QByteArray file = ReadFile(encryptedPath);
        QCOMPARE(file.size(), text.size() + 20);
        QCOMPARE(ReferenceDecrypt(Program, file, 16).plain, text);

        QVERIFY(DecryptSettingsFile(encryptedPath, backPath));
        QCOMPARE(ReadFile(backPath), text);
    }
}

void TestSettingsCipher::settingsFile_damagedSourceLeavesDestinationEmpty()
{
    QTemporaryDir dir;
    const QString encryptedPath = dir.filePath("dbsettings.dat");
    const QString plainPath = dir.filePath("dbsettings.sim");
    QByteArray file = Encrypt(Program, "AppName=Example");
    file[12] = char(file[12] ^ 2);
    for (const QByteArray &content : {file, Encrypt("another", "AppName=Example"), file.left(15)}) {
        QVERIFY(WriteFile(encryptedPath, content));
        QVERIFY(WriteFile(plainPath, "old plain copy"));

        QVERIFY(!DecryptSettingsFile(encryptedPath, plainPath));
        QVERIFY(QFile::exists(plainPath));
        QCOMPARE(QFileInfo(plainPath).size(), 0);
    }
}

void TestSettingsCipher::settingsFile_openFailuresReturnFalse()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.dat");
    const QString out = dir.filePath("out");
    QVERIFY(!DecryptSettingsFile(missing, out));
    QVERIFY(!EncryptSettingsFile(missing, out));
    QVERIFY(!QFile::exists(out));

    // Destination in a folder that does not exist.
    const QString plainPath = dir.filePath("plain");
    QVERIFY(WriteFile(plainPath, {}));
    QVERIFY(!EncryptSettingsFile(plainPath, dir.filePath("no/such/dir/x")));
    QVERIFY(!DecryptSettingsFile(plainPath, dir.filePath("no/such/dir/x")));
}

QTEST_GUILESS_MAIN(TestSettingsCipher)
