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
    QSaveFile dest(destPath);
    if (!dest.open(QIODevice::WriteOnly))
        return false;
    bool ok;
    {
        TEncryption cipher(QByteArray(SettingsPassword), SettingsBufferSize);
        ok = cipher.EncryptStream(&source, &dest);
    }
    source.close();
    if (!ok) {
        dest.cancelWriting();
        return false;
    }
    return dest.commit();
}
