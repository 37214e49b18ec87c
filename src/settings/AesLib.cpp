#include "settings/AesLib.h"

#include "platform/Platform.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

namespace aes {

void Sha1Compress(quint32 state[5], const quint8 block[64])
{
    quint32 w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = qFromBigEndian<quint32>(block + 4 * i);
    for (int i = 16; i < 80; ++i)
        w[i] = std::rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    quint32 a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        quint32 f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const quint32 t = std::rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = std::rotl(b, 30);
        b = a;
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

} // namespace aes

// ---------------------------------------------------------------------------
// Cipher context

namespace {

constexpr int Iterations = 1000;
// Key stream made per OpenSSL call; large enough that the call overhead
// vanishes, small enough to stay in L1 with the data it is XORed into.
constexpr std::size_t BatchBlocks = 1024;
constexpr std::size_t BatchBytes = BatchBlocks * 16;

const EVP_CIPHER *EcbCipher(int mode)
{
    switch (mode) {
    case 1:
        return EVP_aes_128_ecb();
    case 2:
        return EVP_aes_192_ecb();
    default:
        return EVP_aes_256_ecb();
    }
}

void EncryptBlocks(CipherContext &cx, quint8 *blocks, std::size_t bytes)
{
    int written = 0;
    EVP_EncryptUpdate(cx.aes, blocks, &written, blocks, static_cast<int>(bytes));
}

// XOR with the counter-mode key stream. Counter bytes 0-7 are a little-endian
// 64-bit number (the carry out of byte 7 is dropped), bytes 8-15 stay zero, and
// the first block used is the encryption of counter value 1.
void Transform(CipherContext &cx, quint8 *data, std::size_t length)
{
    while (length > 0 && cx.position < 16) {
        *data++ ^= cx.keyStream[cx.position++];
        --length;
    }

    if (length >= 16) {
        alignas(64) quint8 stream[BatchBytes];
        quint64 counter = qFromLittleEndian<quint64>(cx.counter);
        while (length >= 16) {
            const std::size_t blocks = std::min(length / 16, BatchBlocks);
            const std::size_t bytes = blocks * 16;
            for (std::size_t b = 0; b < blocks; ++b) {
                qToLittleEndian<quint64>(++counter, stream + 16 * b);
                std::memset(stream + 16 * b + 8, 0, 8);
            }
            EncryptBlocks(cx, stream, bytes);
            for (std::size_t i = 0; i < bytes; i += 8) {
                quint64 d, k;
                std::memcpy(&d, data + i, 8);
                std::memcpy(&k, stream + i, 8);
                d ^= k;
                std::memcpy(data + i, &d, 8);
            }
            data += bytes;
            length -= bytes;
        }
        qToLittleEndian<quint64>(counter, cx.counter);
        cx.position = 16;
    }

    while (length > 0) {
        if (cx.position == 16) {
            qToLittleEndian<quint64>(qFromLittleEndian<quint64>(cx.counter) + 1, cx.counter);
            std::memcpy(cx.keyStream, cx.counter, 16);
            EncryptBlocks(cx, cx.keyStream, 16);
            cx.position = 0;
        }
        *data++ ^= cx.keyStream[cx.position++];
        --length;
    }
}

void MacUpdate(CipherContext &cx, const quint8 *data, std::size_t length)
{
    if (length > 0)
        EVP_MAC_update(cx.hmac, data, length);
}

} // namespace

CipherContext::CipherContext()
{
    aes = EVP_CIPHER_CTX_new();
    EVP_MAC *mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (mac) {
        hmac = EVP_MAC_CTX_new(mac);
        EVP_MAC_free(mac); // the context holds its own reference
    }
    if (!aes || !hmac) {
        EVP_CIPHER_CTX_free(aes);
        EVP_MAC_CTX_free(hmac);
        throw std::bad_alloc();
    }
}

CipherContext::~CipherContext()
{
    EVP_CIPHER_CTX_free(aes);
    EVP_MAC_CTX_free(hmac);
    OPENSSL_cleanse(keyStream, sizeof keyStream);
}

int CipherInit(CipherContext &cx, int mode, const quint8 *password, quint32 passwordLength,
               const quint8 *salt, quint8 verifier[aes::PasswordVerifierLength])
{
    cx.keyed = false;
    if (passwordLength > aes::MaxPasswordLength)
        return aes::PasswordTooLong;
    if (mode < 1 || mode > 3)
        return aes::BadMode;
    cx.mode = mode;
    cx.passwordLength = passwordLength;

    const int keyLength = aes::KeyLength(mode);
    quint8 derived[2 * 32 + 2];
    const int derivedLength = 2 * keyLength + 2;
    static const char noPassword[1] = {};
    const char *pass = password ? reinterpret_cast<const char *>(password) : noPassword;
    bool ok =
        PKCS5_PBKDF2_HMAC_SHA1(pass, static_cast<int>(passwordLength), salt, aes::SaltLength(mode),
                               Iterations, derivedLength, derived) == 1;

    cx.position = 16;
    std::memset(cx.counter, 0, sizeof cx.counter);

    ok = ok && EVP_EncryptInit_ex(cx.aes, EcbCipher(mode), nullptr, derived, nullptr) == 1 &&
         EVP_CIPHER_CTX_set_padding(cx.aes, 0) == 1;

    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    ok = ok && EVP_MAC_init(cx.hmac, derived + keyLength, keyLength, params) == 1;

    verifier[0] = derived[2 * keyLength];
    verifier[1] = derived[2 * keyLength + 1];
    OPENSSL_cleanse(derived, sizeof derived);
    if (!ok)
        throw std::bad_alloc(); // OpenSSL only fails here when it runs out of memory
    cx.keyed = true;
    return 0;
}

namespace {

// Piecewise so the MAC reads the ciphertext while it is still in cache.
template <bool Encrypting> void Process(CipherContext &cx, quint8 *data, std::size_t length)
{
    Q_ASSERT(cx.keyed);
    while (length > 0) {
        const std::size_t piece = std::min(length, BatchBytes);
        if constexpr (!Encrypting)
            MacUpdate(cx, data, piece);
        Transform(cx, data, piece);
        if constexpr (Encrypting)
            MacUpdate(cx, data, piece);
        data += piece;
        length -= piece;
    }
}

} // namespace

void CipherEncrypt(CipherContext &cx, quint8 *data, std::size_t length)
{
    Process<true>(cx, data, length);
}

void CipherDecrypt(CipherContext &cx, quint8 *data, std::size_t length)
{
    Process<false>(cx, data, length);
}

void CipherFinish(CipherContext &cx, quint8 mac[aes::MacLength])
{
    quint8 full[EVP_MAX_MD_SIZE] = {};
    std::size_t fullLength = 0;
    if (cx.keyed)
        EVP_MAC_final(cx.hmac, full, &fullLength, sizeof full);
    std::memcpy(mac, full, aes::MacLength);
    cx.keyed = false; // the MAC is spent until the next CipherInit
}

// ---------------------------------------------------------------------------
// Salt generator

void RandomPool::Mix(quint8 pool[PoolSize])
{
    constexpr int Digest = 20;
    constexpr int Block = 64;
    for (int i = 0; i < PoolSize; i += Digest) {
        const quint8 *previous = pool + (i ? i : PoolSize) - Digest;
        quint32 state[5];
        for (int j = 0; j < 5; ++j)
            state[j] = qFromLittleEndian<quint32>(previous + 4 * j);

        quint8 block[Block];
        const int tail = PoolSize - i;
        if (tail >= Block) {
            std::memcpy(block, pool + i, Block);
        } else {
            std::memcpy(block, pool + i, tail);
            std::memcpy(block + tail, pool, Block - tail);
        }
        aes::Sha1Compress(state, block);
        for (int j = 0; j < 5; ++j)
            qToLittleEndian<quint32>(state[j], pool + i + 4 * j);
    }
}

quint32 RandomPool::CounterEntropy(quint8 *dest, quint32 requested)
{
    const quint64 value = platform::HighResolutionCounter();
    const quint32 n = std::min<quint32>(8, requested);
    for (quint32 i = 0; i < n; ++i)
        dest[i] = static_cast<quint8>(value >> (8 * i));
    return n;
}

void RandomPool::Refresh()
{
    std::memcpy(O, R, PoolSize);
    quint32 filled = 0;
    while (filled < PoolSize && entropy) {
        const quint32 wanted = PoolSize - filled;
        const quint32 n = entropy(R + filled, wanted);
        if (n == 0)
            break; // a dead source must not hang us; the rest keeps the old pool
        filled += std::min(n, wanted);
    }
    for (int i = 0; i < PoolSize; ++i)
        R[i] ^= static_cast<quint8>(~O[i]);
    Mix(R);
    Mix(O);
}

void RandomPool::Initialise(EntropySource source)
{
    Wipe();
    entropy = std::move(source);
    Refresh();
    for (int i = 0; i < 20; ++i)
        Mix(R);
    Refresh();
}

void RandomPool::Take(quint8 *dest, quint32 count)
{
    while (count > 0) {
        if (outputPosition == PoolSize) {
            Refresh();
            outputPosition = 0;
        }
        const quint32 n = std::min<quint32>(count, PoolSize - outputPosition);
        std::memcpy(dest, O + outputPosition, n);
        dest += n;
        count -= n;
        outputPosition += n;
    }
}

void RandomPool::Wipe()
{
    OPENSSL_cleanse(R, sizeof R);
    OPENSSL_cleanse(O, sizeof O);
    outputPosition = 0;
    entropy = nullptr;
}

// ---------------------------------------------------------------------------
// Streams

namespace {

// Reads until `count` bytes or the end of the data; -1 on a read error.
qint64 ReadFully(QIODevice *device, quint8 *dest, qint64 count)
{
    qint64 got = 0;
    while (got < count) {
        const qint64 n = device->read(reinterpret_cast<char *>(dest + got), count - got);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

bool WriteAll(QIODevice *device, const quint8 *data, qint64 count)
{
    return count == 0 || device->write(reinterpret_cast<const char *>(data), count) == count;
}

} // namespace

TCrypt::TCrypt(const QByteArray &password, quint32 bufferSize)
    : Mode(aes::ModeForPasswordLength(password.size())), password(password),
      bufferSize(std::max<quint32>(bufferSize, 1)), buffer(new quint8[this->bufferSize])
{
}

TCrypt::~TCrypt()
{
    OPENSSL_cleanse(buffer, bufferSize);
    delete[] buffer;
}

TEncryption::TEncryption(const QByteArray &password, quint32 bufferSize,
                         RandomPool::EntropySource entropy)
    : TCrypt(password, bufferSize)
{
    pool.Initialise(std::move(entropy));
}

TEncryption::~TEncryption()
{
    pool.Wipe();
}

bool TEncryption::WriteHeader(QIODevice *Dest)
{
    const int saltLength = aes::SaltLength(Mode);
    quint8 header[16 + aes::PasswordVerifierLength];
    pool.Take(header, saltLength);
    if (CipherInit(context, Mode, reinterpret_cast<const quint8 *>(password.constData()),
                   static_cast<quint32>(password.size()), header, header + saltLength) != 0)
        return false;
    return WriteAll(Dest, header, saltLength + aes::PasswordVerifierLength);
}

bool TEncryption::WriteTrailer(QIODevice *Dest)
{
    quint8 mac[32] = {};
    CipherFinish(context, mac);
    return WriteAll(Dest, mac, aes::MacLength);
}

bool TEncryption::ReadHeader(QIODevice *Source)
{
    const int saltLength = aes::SaltLength(Mode);
    quint8 salt[16];
    if (ReadFully(Source, salt, saltLength) != saltLength)
        return false;
    quint8 expected[aes::PasswordVerifierLength];
    if (CipherInit(context, Mode, reinterpret_cast<const quint8 *>(password.constData()),
                   static_cast<quint32>(password.size()), salt, expected) != 0)
        return false;
    quint8 stored[aes::PasswordVerifierLength];
    if (ReadFully(Source, stored, sizeof stored) != qint64(sizeof stored))
        return false;
    return std::memcmp(stored, expected, sizeof stored) == 0;
}

bool TEncryption::CheckTrailer(QIODevice *Source)
{
    quint8 computed[32] = {};
    quint8 stored[32] = {};
    CipherFinish(context, computed);
    if (ReadFully(Source, stored, aes::MacLength) != aes::MacLength)
        return false;
    return CRYPTO_memcmp(computed, stored, sizeof computed) == 0;
}

bool TEncryption::EncryptStream(QIODevice *Source, QIODevice *Dest)
{
    if (!Source || !Dest || !WriteHeader(Dest))
        return false;
    qint64 total = 0;
    for (;;) {
        const qint64 n = ReadFully(Source, buffer, bufferSize);
        if (n < 0)
            return false;
        total += n;
        if (OnProgress)
            OnProgress(this, 4, total);
        CipherEncrypt(context, buffer, static_cast<std::size_t>(n));
        if (!WriteAll(Dest, buffer, n))
            return false;
        // A full buffer means there may be more, even if the next read finds none.
        if (n < bufferSize)
            break;
    }
    return WriteTrailer(Dest);
}

bool TEncryption::DecryptStream(QIODevice *Source, QIODevice *Dest, qint64 Size)
{
    if (!Source)
        return false;
    if (OnProgress)
        OnProgress(this, 1, -Source->size());
    // Too short to hold even the header and the code: no reading at all.
    if (Size < aes::Overhead(Mode) || !ReadHeader(Source))
        return false;

    qint64 remaining = Size - aes::Overhead(Mode);
    do {
        const qint64 chunk = std::min<qint64>(bufferSize, remaining);
        const qint64 n = ReadFully(Source, buffer, chunk);
        if (n < 0)
            return false;
        if (OnProgress)
            OnProgress(this, 5, n);
        CipherDecrypt(context, buffer, static_cast<std::size_t>(n));
        if (Dest && !WriteAll(Dest, buffer, n))
            return false;
        remaining -= n;
        if (n < chunk)
            return false; // the source holds less than it was said to
    } while (remaining > 0);
    return CheckTrailer(Source);
}
