#include "settings/SettingsCipher.h"

#include "settings/AesLib.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

bool DecryptSettingsFile(const QString &sourcePath, const QString &destPath)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    QFile dest(destPath);
    if (!dest.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;

    // Decrypt to memory first: a settings file is small, and this keeps
    // plain text that failed its code out of the file.
    QByteArray plain;
    QBuffer plainBuffer(&plain);
    plainBuffer.open(QIODevice::WriteOnly);
    bool ok;
    {
        TEncryption cipher(QByteArray(SettingsPassword), SettingsBufferSize);
        ok = cipher.DecryptStream(&source, &plainBuffer, source.size());
    }
    source.close();
    if (ok)
        ok = dest.write(plain) == plain.size();
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
    QByteArray encrypted;
    QBuffer dest(&encrypted);
    dest.open(QIODevice::WriteOnly);
    bool ok;
    {
        TEncryption cipher(QByteArray(SettingsPassword), SettingsBufferSize);
        ok = cipher.EncryptStream(&source, &dest);
    }
    ok = ok && source.error() == QFileDevice::NoError;
    source.close();
    return ok && SaveFileWhole(destPath, encrypted);
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
