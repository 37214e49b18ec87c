#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <stdexcept>

#ifdef Q_OS_WIN
#include <shellapi.h>
#include <windows.h>
#else
#include <ctime>
#endif

namespace platform {

namespace {
std::optional<QByteArray> &browserOverride()
{
    static std::optional<QByteArray> value;
    return value;
}
std::optional<QByteArray> &openerOverride()
{
    static std::optional<QByteArray> value;
    return value;
}
} // namespace

void SetShellOpenerOverride(const QByteArray &program)
{
    openerOverride() = program;
}
void ClearShellOpenerOverride()
{
    openerOverride().reset();
}

bool ShellOpenAddress(const QByteArray &address)
{
    if (openerOverride())
        return QProcess::startDetached(QFile::decodeName(*openerOverride()),
                                       {QString::fromLocal8Bit(address)});
#ifdef Q_OS_WIN
    const auto rc = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", address.constData(), nullptr, nullptr, SW_SHOWNORMAL));
    return rc > 32;
#else
#ifdef Q_OS_MACOS
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("open"));
#else
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
#endif
    if (opener.isEmpty() || address.isEmpty())
        return false;
    return QProcess::startDetached(opener, {QString::fromLocal8Bit(address)});
#endif
}

void SetBrowserCommandOverride(const QByteArray &commandLine)
{
    browserOverride() = commandLine;
}
void ClearBrowserCommandOverride()
{
    browserOverride().reset();
}

std::optional<QByteArray> DefaultBrowserCommand()
{
    if (browserOverride())
        return browserOverride();
#ifdef Q_OS_WIN
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\http\\shell\\open\\command", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    QByteArray value;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        size > 0) {
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            RegCloseKey(key);
            throw std::runtime_error("Invalid data type for the default browser command");
        }
        value.resize(size);
        if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE *>(value.data()),
                             &size) != ERROR_SUCCESS)
            value.clear();
        value.truncate(qstrnlen(value.constData(), value.size()));
    }
    RegCloseKey(key);
    if (value.isEmpty())
        return std::nullopt;
    return value;
#else
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return std::nullopt;
    return QByteArray("\"") + QFile::encodeName(opener) + "\" \"%1\"";
#endif
}

bool ShellOpen(const QByteArray &program, const QByteArray &parameters)
{
#ifdef Q_OS_WIN
    const auto rc = reinterpret_cast<INT_PTR>(ShellExecuteA(
        nullptr, "open", program.constData(), parameters.constData(), nullptr, SW_SHOW));
    return rc > 32;
#else
    return QProcess::startDetached(QFile::decodeName(program),
                                   {QString::fromLocal8Bit(parameters)});
#endif
}

namespace {
StartProgramObserver &startObserver()
{
    static StartProgramObserver value;
    return value;
}
} // namespace

void SetStartProgramObserver(StartProgramObserver observer)
{
    startObserver() = std::move(observer);
}

bool StartProgram(const QString &path, const QStringList &arguments, quintptr owner)
{
    if (startObserver())
        startObserver()(path, arguments, owner);
#ifdef Q_OS_WIN
    const QByteArray file = QDir::toNativeSeparators(path).toLocal8Bit();
    const QByteArray parameters = arguments.join(QLatin1Char(' ')).toLocal8Bit();
    const auto rc = reinterpret_cast<INT_PTR>(
        ShellExecuteA(reinterpret_cast<HWND>(owner), "open", file.constData(),
                      parameters.constData(), nullptr, SW_SHOWNORMAL));
    return rc > 32;
#else
    Q_UNUSED(owner);
    return QProcess::startDetached(path, arguments);
#endif
}

quint64 HighResolutionCounter()
{
#ifdef Q_OS_WIN
    LARGE_INTEGER counter;
    if (QueryPerformanceCounter(&counter))
        return static_cast<quint64>(counter.QuadPart);
    return static_cast<quint64>(GetTickCount());
#else
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<quint64>(ts.tv_sec) * 1000000000ull + static_cast<quint64>(ts.tv_nsec);
#endif
}

QString ExecutableFolder()
{
    QString dir = QCoreApplication::applicationDirPath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

} // namespace platform
