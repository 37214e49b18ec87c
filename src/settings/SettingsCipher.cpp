#include "settings/SettingsCipher.h"

#include "settings/AesLib.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

namespace {

// One cipher pass from bytes to bytes; nullopt when the pass fails.
template <typename Pass> std::optional<QByteArray> InMemory(const QByteArray &input, Pass pass)
{
    QByteArray source = input;
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    QByteArray result;
    QBuffer out(&result);
    out.open(QIODevice::WriteOnly);
    if (!pass(in, out))
        return std::nullopt;
    return result;
}

} // namespace

std::optional<QByteArray> DecryptSettingsBytes(const QByteArray &encrypted,
                                               const QByteArray &password)
{
    return InMemory(encrypted, [&](QBuffer &in, QBuffer &out) {
        return TEncryption(password, SettingsBufferSize).DecryptStream(&in, &out, in.size());
    });
}

std::optional<QByteArray> EncryptSettingsBytes(const QByteArray &plain, const QByteArray &password)
{
    return InMemory(plain, [&](QBuffer &in, QBuffer &out) {
        return TEncryption(password, SettingsBufferSize).EncryptStream(&in, &out);
    });
}

bool DecryptSettingsFile(const QString &sourcePath, const QString &destPath)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QFile dest(destPath);
    if (!dest.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;

    // Decrypt in memory first: a settings file is small, and this keeps
    // plain text that failed its code out of the file.
    const QByteArray encrypted = source.readAll();
    const bool readOk = source.error() == QFileDevice::NoError;
    source.close();
    const std::optional<QByteArray> plain = readOk ? DecryptSettingsBytes(encrypted) : std::nullopt;
    const bool ok = plain && dest.write(*plain) == plain->size();
    if (!ok)
        dest.resize(0);
    dest.close();
    return ok;
}

bool EncryptSettingsFile(const QString &sourcePath, const QString &destPath)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray plain = source.readAll();
    const bool readOk = source.error() == QFileDevice::NoError;
    source.close();
    const std::optional<QByteArray> encrypted = readOk ? EncryptSettingsBytes(plain) : std::nullopt;
    return encrypted && SaveFileWhole(destPath, *encrypted);
}

bool SaveFileWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size() || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
