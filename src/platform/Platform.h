#pragma once
// The few calls that differ between operating systems. Everything above this
// folder stays portable.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace platform {

// Command line registered for opening web addresses. On Windows this is the
// default value of HKEY_CLASSES_ROOT\http\shell\open\command; elsewhere the
// desktop opener found on the PATH, written the same way ("path" "%1") so
// that callers parse one format. nullopt when there is none.
std::optional<QByteArray> DefaultBrowserCommand();

// Tests point the browser command at a script of their own.
void SetBrowserCommandOverride(const QByteArray &commandLine);
void ClearBrowserCommandOverride();

// Performs the shell's "open" verb on a program with one parameter string.
// Windows: ShellExecuteA. Elsewhere the program is started detached with the
// parameter string as its single argument, never through a shell.
bool ShellOpen(const QByteArray &program, const QByteArray &parameters);

// The shell's "open" verb on an address or a document, so that each kind
// reaches its own handler (web, mail, files). Windows: ShellExecuteA "open"
// on the address. Elsewhere the desktop's opener (xdg-open; open on macOS),
// started detached with the address as its one argument.
bool ShellOpenAddress(const QByteArray &address);

// Tests point the desktop's opener at a program of their own; it is started
// with the address as its one argument on every system.
void SetShellOpenerOverride(const QByteArray &program);
void ClearShellOpenerOverride();

// Starts a program with its own window. Windows: ShellExecuteA with "open"
// and the arguments joined by blanks. Elsewhere the file itself is started
// detached with each argument as one argument, never through a shell.
// False when it could not be started. owner: the native window that owns the
// start (Windows: the owner window handed to ShellExecuteA; 0 for none).
bool StartProgram(const QString &path, const QStringList &arguments, quintptr owner = 0);

// Tests watch every StartProgram call (path, arguments, owner) before it
// starts; an empty function stops watching.
using StartProgramObserver = std::function<void(const QString &, const QStringList &, quintptr)>;
void SetStartProgramObserver(StartProgramObserver observer);

// Monotonic high-resolution counter (QueryPerformanceCounter on Windows,
// falling back to the millisecond tick count; a nanosecond clock elsewhere).
quint64 HighResolutionCounter();

// Folder of the running program file, with a trailing separator.
QString ExecutableFolder();

} // namespace platform
