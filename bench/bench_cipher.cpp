// Settings cipher throughput on 64 MiB in memory, next to OpenSSL's own
// AES-128-CTR and HMAC-SHA1 over the same data as the yardstick.

#include "settings/AesLib.h"

#include <QBuffer>
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace {

constexpr qsizetype Size = 64 << 20;
const QByteArray Password("qzmvtrplok");

const QByteArray &Plain()
{
    static const QByteArray data = [] {
        QByteArray d(Size, Qt::Uninitialized);
        quint32 x = 2463534242u;
        for (auto &c : d) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = char(x);
        }
        return d;
    }();
    return data;
}

void Report(benchmark::State &state)
{
    state.SetBytesProcessed(state.iterations() * Size);
    state.counters["MB"] =
        benchmark::Counter(double(state.iterations()) * Size / 1e6, benchmark::Counter::kIsRate);
}

void BM_EncryptStream(benchmark::State &state)
{
    QByteArray source = Plain();
    QByteArray out;
    out.reserve(Size + 64);
    for (auto _ : state) {
        QBuffer in(&source);
        in.open(QIODevice::ReadOnly);
        out.resize(0);
        QBuffer dest(&out);
        dest.open(QIODevice::WriteOnly);
        TEncryption cipher(Password, 0x40000);
        benchmark::DoNotOptimize(cipher.EncryptStream(&in, &dest));
    }
    Report(state);
}

void BM_DecryptStream(benchmark::State &state)
{
    QByteArray encrypted;
    {
        QByteArray source = Plain();
        QBuffer in(&source);
        in.open(QIODevice::ReadOnly);
        QBuffer dest(&encrypted);
        dest.open(QIODevice::WriteOnly);
        TEncryption(Password, 0x40000).EncryptStream(&in, &dest);
    }
    QByteArray out;
    out.reserve(Size);
    for (auto _ : state) {
        QBuffer in(&encrypted);
        in.open(QIODevice::ReadOnly);
        out.resize(0);
        QBuffer dest(&out);
        dest.open(QIODevice::WriteOnly);
        TEncryption cipher(Password, 0x40000);
        if (!cipher.DecryptStream(&in, &dest, encrypted.size()))
            state.SkipWithError("decryption failed");
    }
    Report(state);
}

// The transform and MAC alone, in place, without stream copies.
void BM_CipherEncryptInPlace(benchmark::State &state)
{
    QByteArray data = Plain();
    data.detach(); // the copy must not land in the first timed pass
    const quint8 salt[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    CipherContext cx;
    for (auto _ : state) {
        quint8 verifier[2], mac[10];
        CipherInit(cx, 1, reinterpret_cast<const quint8 *>(Password.constData()),
                   quint32(Password.size()), salt, verifier);
        CipherEncrypt(cx, reinterpret_cast<quint8 *>(data.data()), size_t(Size));
        CipherFinish(cx, mac);
        benchmark::DoNotOptimize(mac);
    }
    Report(state);
}

void BM_OpenSslAes128Ctr(benchmark::State &state)
{
    QByteArray data = Plain();
    data.detach();
    const unsigned char key[16] = {}, iv[16] = {};
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    for (auto _ : state) {
        EVP_EncryptInit_ex(ctx, EVP_aes_128_ctr(), nullptr, key, iv);
        int n = 0;
        EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char *>(data.data()), &n,
                          reinterpret_cast<const unsigned char *>(data.constData()), int(Size));
        benchmark::DoNotOptimize(n);
    }
    EVP_CIPHER_CTX_free(ctx);
    Report(state);
}

void BM_OpenSslHmacSha1(benchmark::State &state)
{
    const QByteArray &data = Plain();
    const unsigned char key[16] = {};
    for (auto _ : state) {
        unsigned char mac[20];
        unsigned int length = 0;
        HMAC(EVP_sha1(), key, sizeof key, reinterpret_cast<const unsigned char *>(data.constData()),
             size_t(Size), mac, &length);
        benchmark::DoNotOptimize(mac);
    }
    Report(state);
}

} // namespace

BENCHMARK(BM_EncryptStream)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecryptStream)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CipherEncryptInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenSslAes128Ctr)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenSslHmacSha1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
