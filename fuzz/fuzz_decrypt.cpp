// libFuzzer target: arbitrary bytes as an encrypted settings stream.
//
// Byte 0 steers the run: bits 0-3 pick the work buffer size, bit 4 leaves the
// destination out (verify only), bit 5 repairs the password verification value
// so that most inputs reach the data phase, bit 6 makes the stated size differ
// from the real one by the signed byte 1. The rest is the stream.
// Every input is also encrypted and decrypted again as plain text, which must
// come back unchanged.

#include "settings/AesLib.h"

#include <QBuffer>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const QByteArray Password("qzmvtrplok");
constexpr quint32 BufferSizes[16] = {1,  2,  3,   7,   15,   16,   17,    31,
                                     32, 33, 255, 256, 4096, 4097, 65536, 0x40000};

// Fixed entropy keeps every run of an input identical.
quint32 FixedEntropy(quint8 *dest, quint32 requested)
{
    std::memset(dest, 0x5A, requested);
    return requested;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const quint8 flags = data[0];
    const qint8 delta = qint8(data[1]);
    QByteArray input(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    const quint32 bufferSize = BufferSizes[flags & 0x0F];

    if ((flags & 0x20) && input.size() >= 10) {
        CipherContext cx;
        quint8 verifier[2];
        CipherInit(cx, 1, reinterpret_cast<const quint8 *>(Password.constData()),
                   quint32(Password.size()), reinterpret_cast<const quint8 *>(input.constData()),
                   verifier);
        input[8] = char(verifier[0]);
        input[9] = char(verifier[1]);
    }

    {
        QBuffer source(&input);
        source.open(QIODevice::ReadOnly);
        QByteArray plain;
        QBuffer dest(&plain);
        dest.open(QIODevice::WriteOnly);
        const qint64 stated = input.size() + ((flags & 0x40) ? delta : 0);
        TEncryption cipher(Password, bufferSize, FixedEntropy);
        const bool ok = cipher.DecryptStream(&source, (flags & 0x10) ? nullptr : &dest, stated);
        // Never more plain text than the stated data length, nor than the
        // bytes present after the header.
        Check(plain.size() <=
              std::max<qint64>(0, std::min<qint64>(stated - 20, input.size() - 10)));
        Check(source.pos() <= input.size());
        if (ok)
            Check(stated == input.size() && ((flags & 0x10) || plain.size() == input.size() - 20));
    }

    {
        QByteArray plain = input;
        QBuffer source(&plain);
        source.open(QIODevice::ReadOnly);
        QByteArray encrypted;
        QBuffer dest(&encrypted);
        dest.open(QIODevice::WriteOnly);
        Check(TEncryption(Password, bufferSize, FixedEntropy).EncryptStream(&source, &dest));
        Check(encrypted.size() == plain.size() + 20);

        dest.close();
        dest.open(QIODevice::ReadOnly);
        QByteArray back;
        QBuffer out(&back);
        out.open(QIODevice::WriteOnly);
        const quint32 otherSize = BufferSizes[(flags + 7) & 0x0F];
        Check(TEncryption(Password, otherSize).DecryptStream(&dest, &out, encrypted.size()));
        Check(back == plain);
    }
    return 0;
}
