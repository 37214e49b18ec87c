#pragma once
// Password-based file encryption in the zip AES layout (salt, 2-byte password
// verification value, AES counter-mode ciphertext, 10-byte HMAC-SHA1 code),
// applied to a whole stream with nothing around it. AES, HMAC-SHA1 and PBKDF2
// come from OpenSSL; only the salt generator's mixing step is ours.

#include <QByteArray>
#include <QtGlobal>
#include <cstddef>
#include <functional>

class QIODevice;

// OpenSSL types, kept out of the header.
struct evp_cipher_ctx_st;
struct evp_mac_ctx_st;

namespace aes {

inline constexpr int MaxPasswordLength = 128;
inline constexpr int PasswordVerifierLength = 2;
inline constexpr int MacLength = 10;
inline constexpr int PasswordTooLong = -100;
inline constexpr int BadMode = -101;

// Mode 1..3 from the password length in bytes: AES-128, AES-192, AES-256.
constexpr int ModeForPasswordLength(qsizetype length)
{
    return length < 32 ? 1 : length < 48 ? 2 : 3;
}
constexpr int KeyLength(int mode)
{
    return 8 * mode + 8;
}
constexpr int SaltLength(int mode)
{
    return 4 * mode + 4;
}
// Bytes an encrypted stream adds to the plain text.
constexpr int Overhead(int mode)
{
    return SaltLength(mode) + PasswordVerifierLength + MacLength;
}

// One SHA-1 compression step: state (five words) updated in place by one
// 64-byte block, read big-endian.
void Sha1Compress(quint32 state[5], const quint8 block[64]);

} // namespace aes

// Counter-mode AES plus the running HMAC over the ciphertext. The OpenSSL
// contexts are allocated once with the object and re-keyed by CipherInit, so
// the per-byte path allocates nothing.
struct CipherContext
{
    CipherContext();
    ~CipherContext();
    CipherContext(const CipherContext &) = delete;
    CipherContext &operator=(const CipherContext &) = delete;

    quint8 counter[16] = {};
    quint8 keyStream[16] = {};
    evp_cipher_ctx_st *aes = nullptr; // AES key schedule (ECB over counter blocks)
    evp_mac_ctx_st *hmac = nullptr;   // HMAC-SHA1 under the MAC key
    bool keyed = false;
    quint32 position = 16; // 16: key-stream block used up
    quint32 passwordLength = 0;
    qint32 mode = 0;
};

// 0 and the 2-byte verification value on success; aes::PasswordTooLong or
// aes::BadMode otherwise (the context is then left unkeyed).
int CipherInit(CipherContext &cx, int mode, const quint8 *password, quint32 passwordLength,
               const quint8 *salt, quint8 verifier[aes::PasswordVerifierLength]);
// In place. Encrypt feeds the resulting ciphertext to the code, Decrypt the
// incoming ciphertext; any chunking gives the same bytes.
void CipherEncrypt(CipherContext &cx, quint8 *data, std::size_t length);
void CipherDecrypt(CipherContext &cx, quint8 *data, std::size_t length);
void CipherFinish(CipherContext &cx, quint8 mac[aes::MacLength]);

// Salt generator: two 260-byte pools stirred with SHA-1 compression steps and
// refilled from an entropy source.
struct RandomPool
{
    // Writes up to `requested` bytes to `dest` and returns how many it wrote.
    using EntropySource = std::function<quint32(quint8 *dest, quint32 requested)>;
    static constexpr int PoolSize = 260;

    quint8 R[PoolSize] = {};
    quint8 O[PoolSize] = {};
    quint32 outputPosition = 0;
    EntropySource entropy;

    void Initialise(EntropySource source);
    void Take(quint8 *dest, quint32 count);
    void Wipe();

    static void Mix(quint8 pool[PoolSize]);
    // Up to 8 little-endian bytes of the high-resolution counter.
    static quint32 CounterEntropy(quint8 *dest, quint32 requested);

private:
    void Refresh();
};

class TCrypt
{
public:
    TCrypt(const QByteArray &password, quint32 bufferSize);
    virtual ~TCrypt();
    TCrypt(const TCrypt &) = delete;
    TCrypt &operator=(const TCrypt &) = delete;

    qint32 Mode;

protected:
    CipherContext context;
    QByteArray password;
    quint32 bufferSize;
    quint8 *buffer;
};

class TEncryption : public TCrypt
{
public:
    // sender, kind (4: bytes encrypted so far; 1: minus the source size;
    // 5: bytes decrypted in this chunk), count
    using ProgressHandler = std::function<void(TEncryption *sender, quint8 kind, qint64 count)>;

    TEncryption(const QByteArray &password, quint32 bufferSize,
                RandomPool::EntropySource entropy = &RandomPool::CounterEntropy);
    ~TEncryption() override;

    // Source from its position to its end; header, ciphertext and code go to
    // Dest at its position.
    bool EncryptStream(QIODevice *Source, QIODevice *Dest);
    // Size: encrypted bytes in Source from its position, header and code
    // included. Dest may be null to verify only. Plain text reaches Dest before
    // the code is checked: only a true result makes it trustworthy.
    bool DecryptStream(QIODevice *Source, QIODevice *Dest, qint64 Size);

    ProgressHandler OnProgress;

private:
    bool WriteHeader(QIODevice *Dest);
    bool WriteTrailer(QIODevice *Dest);
    bool ReadHeader(QIODevice *Source);
    bool CheckTrailer(QIODevice *Source);

    RandomPool pool;
};
