#include "platform/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

#ifndef Q_OS_WIN
// A folder of this user, not a link, that no one else may enter or write.
bool IsOwnPrivateFolder(const QByteArray &path)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

QString FromRuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !runtime.startsWith('/') || !IsOwnPrivateFolder(runtime))
        return {};
    const QByteArray ours = runtime + "/tarnwick";
    if (mkdir(ours.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    if (!IsOwnPrivateFolder(ours))
        return {};
    return QString::fromLocal8Bit(ours);
}
#endif

} // namespace

QString PrivateRunFolder()
{
#ifdef Q_OS_WIN
    const QString local = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (local.isEmpty() || !QDir().mkpath(local))
        return {};
    return QDir::cleanPath(local);
#else
    if (QString runtime = FromRuntimeFolder(); !runtime.isEmpty())
        return runtime;
    // mkdtemp underneath: a new folder with owner-only rights, never an
    // existing one.
    static std::unique_ptr<QTemporaryDir> made;
    if (!made || !made->isValid() || !IsOwnPrivateFolder(QFile::encodeName(made->path())))
        made =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tarnwick-XXXXXX"));
    if (!made->isValid())
        return {};
    return QDir::cleanPath(made->path());
#endif
}

bool OpenPrivateFileForWriting(QFile &file, const QString &path, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
#ifdef Q_OS_WIN
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(file.errorString());
    return true;
#else
    const QByteArray name = QFile::encodeName(path);
    // No O_TRUNC here: a file that turns out not to be ours stays as it is.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == ELOOP)
            return fail(QStringLiteral("The name is a link; it is not followed."));
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat st;
    QString refusal;
    if (fstat(fd, &st) != 0)
        refusal = QString::fromLocal8Bit(std::strerror(errno));
    else if (!S_ISREG(st.st_mode))
        refusal = QStringLiteral("It is not a plain file.");
    else if (st.st_uid != geteuid())
        refusal = QStringLiteral("The file belongs to another user.");
    else if (st.st_nlink != 1)
        refusal = QStringLiteral("The file has other names.");
    else if (ftruncate(fd, 0) != 0)
        refusal = QString::fromLocal8Bit(std::strerror(errno));
    if (!refusal.isEmpty()) {
        ::close(fd);
        return fail(refusal);
    }
    // Nobody but the owner reads what was fetched.
    fchmod(fd, 0600);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    return true;
#endif
}

} // namespace platform
