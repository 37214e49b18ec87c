#include "platform/PrivateFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

QString WithSeparator(QString path)
{
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

// A folder no other user can list, enter or write.
bool OwnedAndPrivate(const QString &path)
{
#ifdef Q_OS_WIN
    return QFileInfo(path).isDir();
#else
    struct stat st
    {
    };
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
#endif
}

QString ChooseFolder()
{
#ifdef Q_OS_WIN
    const QString local = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (!local.isEmpty() && QDir().mkpath(local))
        return WithSeparator(local);
#else
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && OwnedAndPrivate(runtime)) {
        const QString mine = QDir(runtime).filePath(QStringLiteral("tarnwick"));
        // Made with owner-only rights; one that is there must be ours alike.
        if (!QFileInfo::exists(mine))
            ::mkdir(QFile::encodeName(mine).constData(), 0700);
        if (OwnedAndPrivate(mine))
            return WithSeparator(mine);
    }
#endif
    // A fresh folder of a random name; QTemporaryDir makes it owner-only.
    static std::unique_ptr<QTemporaryDir> made;
    made = std::make_unique<QTemporaryDir>(
        QDir(QDir::tempPath()).filePath(QStringLiteral("tarnwick-run-XXXXXX")));
    if (!made->isValid() || !OwnedAndPrivate(made->path()))
        return {};
    return WithSeparator(made->path());
}

} // namespace

QString PrivateRunFolder()
{
    static const QString folder = ChooseFolder();
    return folder;
}

} // namespace platform
