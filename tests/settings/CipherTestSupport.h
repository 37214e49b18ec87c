#pragma once
// Helpers shared by the cipher tests: an independent reader of the encrypted
// layout built straight on OpenSSL, and round-trip shortcuts.

#include "settings/AesLib.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <optional>

namespace cipher_test {

inline QByteArray RandomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (auto &c : out)
        c = static_cast<char>(rng.bounded(256));
    return out;
}

inline bool WriteFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray Encrypt(const QByteArray &password, const QByteArray &plain,
                          quint32 bufferSize = 0x40000, bool *ok = nullptr)
{
    QByteArray source = plain;
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    QByteArray out;
    QBuffer dest(&out);
    dest.open(QIODevice::WriteOnly);
    TEncryption cipher(password, bufferSize);
    const bool result = cipher.EncryptStream(&in, &dest);
    if (ok)
        *ok = result;
    return out;
}

struct Decrypted
{
    bool ok;
    QByteArray plain;
};

inline Decrypted Decrypt(const QByteArray &password, const QByteArray &encrypted,
                         quint32 bufferSize = 0x40000, std::optional<qint64> size = {})
{
    QByteArray source = encrypted;
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    Decrypted result{false, {}};
    QBuffer dest(&result.plain);
    dest.open(QIODevice::WriteOnly);
    TEncryption cipher(password, bufferSize);
    result.ok = cipher.DecryptStream(&in, &dest, size.value_or(encrypted.size()));
    return result;
}

// --- Reference implementation, OpenSSL only -------------------------------

inline QByteArray Pbkdf2(const QByteArray &password, const QByteArray &salt, int length)
{
    QByteArray out(length, Qt::Uninitialized);
    PKCS5_PBKDF2_HMAC_SHA1(password.constData(), int(password.size()),
                           reinterpret_cast<const unsigned char *>(salt.constData()),
                           int(salt.size()), 1000, length,
                           reinterpret_cast<unsigned char *>(out.data()));
    return out;
}

inline QByteArray AesEcb(const QByteArray &key, const QByteArray &blocks)
{
    const EVP_CIPHER *cipher = key.size() == 16   ? EVP_aes_128_ecb()
                               : key.size() == 24 ? EVP_aes_192_ecb()
                                                  : EVP_aes_256_ecb();
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, cipher, nullptr,
                       reinterpret_cast<const unsigned char *>(key.constData()), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    QByteArray out(blocks.size(), Qt::Uninitialized);
    int n = 0;
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char *>(out.data()), &n,
                      reinterpret_cast<const unsigned char *>(blocks.constData()),
                      int(blocks.size()));
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

// Key stream blocks 1, 2, ...: AES of a little-endian 64-bit counter and eight
// zero bytes.
inline QByteArray KeyStream(const QByteArray &key, qsizetype length, quint64 firstCounter = 1)
{
    const qsizetype blocks = (length + 15) / 16;
    QByteArray counters(blocks * 16, '\0');
    for (qsizetype i = 0; i < blocks; ++i)
        qToLittleEndian<quint64>(firstCounter + quint64(i), counters.data() + 16 * i);
    return AesEcb(key, counters).left(length);
}

inline QByteArray HmacSha1(const QByteArray &key, const QByteArray &data)
{
    unsigned char mac[20];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key.constData(), int(key.size()),
         reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size()), mac,
         &length);
    return QByteArray(reinterpret_cast<const char *>(mac), 20);
}

inline QByteArray Xor(QByteArray a, const QByteArray &b)
{
    for (qsizetype i = 0; i < a.size(); ++i)
        a[i] = char(a[i] ^ b[i]);
    return a;
}

// Reads the layout with the key size given by the caller, not by the code
// under test. Empty optional-like result: ok false.
inline Decrypted ReferenceDecrypt(const QByteArray &password, const QByteArray &file, int keyLength)
{
    const int saltLength = keyLength / 2;
    if (file.size() < saltLength + 12)
        return {false, {}};
    const QByteArray salt = file.left(saltLength);
    const QByteArray derived = Pbkdf2(password, salt, 2 * keyLength + 2);
    if (file.mid(saltLength, 2) != derived.mid(2 * keyLength, 2))
        return {false, {}};
    const QByteArray cipherText = file.mid(saltLength + 2, file.size() - saltLength - 12);
    const QByteArray mac = HmacSha1(derived.mid(keyLength, keyLength), cipherText).left(10);
    const QByteArray plain = Xor(cipherText, KeyStream(derived.left(keyLength), cipherText.size()));
    return {mac == file.right(10), plain};
}

} // namespace cipher_test
