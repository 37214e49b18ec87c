#include "settings/SettingsCipher.h"

#include "settings/AesLib.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

std::optional<QByteArray> DecryptSettingsBytes(const QByteArray &encrypted,
                                               const QByteArray &password)
{
    QByteArray source = encrypted;
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    QByteArray plain;
    QBuffer out(&plain);
    out.open(QIODevice::WriteOnly);
    if (!TEncryption(password, SettingsBufferSize).DecryptStream(&in, &out, source.size()))
        return std::nullopt;
    return plain;
}

std::optional<QByteArray> EncryptSettingsBytes(const QByteArray &plain, const QByteArray &password)
{
    QByteArray source = plain;
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    QByteArray encrypted;
    QBuffer out(&encrypted);
    out.open(QIODevice::WriteOnly);
    if (!TEncryption(password, SettingsBufferSize).EncryptStream(&in, &out))
        return std::nullopt;
    return encrypted;
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
