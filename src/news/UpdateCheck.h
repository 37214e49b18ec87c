#pragma once
// The update check: the vendor's description file is downloaded into the
// program folder, its version compared with ours, and on the user's word the
// updater beside the program takes over.

#include <QByteArray>
#include <QString>
#include <functional>

class IMessageBox;
class THttpClient;
class TRunState;

inline constexpr char UpdateDescriptionName[] = "mainappupdate.inf";
inline constexpr char UpdaterName[] = "Updater.exe";

// Downloads one address straight into a file, replacing an older one. True
// only when the whole transfer succeeded; otherwise no file is left. A set
// stop flag (run) sends nothing; timeoutMs > 0 limits the request.
bool DownloadToFile(THttpClient &http, const QByteArray &address, const QString &localPath,
                    const TRunState *run = nullptr, int timeoutMs = 0);

// Where the local copy of the description goes: the user's private folder,
// since the program's own folder is usually read-only once installed and a
// shared one could be read or planted by other users. Empty without one.
QString UpdateDescriptionCopyPath();

enum class TUpdateOutcome {
    NoUpdate,       // nothing newer, or nothing could be read
    Declined,       // the user said Cancel
    UpdaterMissing, // no updater, or it would not start
    UpdaterStarted, // the caller closes the main window now
};

struct TUpdateContext
{
    THttpClient &Http;
    IMessageBox &Msg;
    QString ProgramFolder;     // with a trailing separator; holds the updater
    QByteArray LiveUpdateBase; // ends with "/"; empty: this build has no live-update host
    // Starts the updater with its arguments; false when it did not start.
    std::function<bool(const QString &, const QStringList &)> StartProgram;
    const TRunState *Run = nullptr; // its stop flag keeps the download from being sent
};

// The whole check. Silent: only a newer version speaks.
TUpdateOutcome CheckForUpdates(TUpdateContext &ctx, bool silent);
