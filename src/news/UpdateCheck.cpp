#include "news/UpdateCheck.h"

#include "news/UpdateDescription.h"

#include "base/HttpClient.h"
#include "base/MessageBox.h"
#include "base/RunState.h"
#include "base/ScreenText.h"
#include "base/Version.h"
#include "news/NewsClient.h"
#include "platform/PrivateFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

bool DownloadToFile(THttpClient &http, const QByteArray &address, const QString &localPath,
                    const TRunState *run, int timeoutMs)
{
    if (run && run->StopRequested) {
        QFile::remove(localPath);
        return false;
    }
    QFile file(localPath);
    if (QFile::exists(localPath))
        QFile::remove(localPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QCoreApplication::processEvents();
    const THttpClient::Result result = http.Get(address, &file, timeoutMs);
    const bool written = file.flush() && file.error() == QFileDevice::NoError;
    file.close();
    if (result.Ok && written)
        return true;
    QFile::remove(localPath);
    return false;
}

QString UpdateDescriptionCopyPath()
{
    const QString folder = PrivateRunFolder();
    return folder.isEmpty() ? QString()
                            : QDir(folder).filePath(QLatin1String(UpdateDescriptionName));
}

TUpdateOutcome CheckForUpdates(TUpdateContext &ctx, bool silent)
{
    const QString localPath = UpdateDescriptionCopyPath();
    const QByteArray address = ctx.LiveUpdateBase + UpdateDescriptionName;
    auto noUpdate = [&] {
        if (!silent)
            ctx.Msg.Notice(QStringLiteral("There's no new updates for this application!"));
        return TUpdateOutcome::NoUpdate;
    };

    // A build made without a live-update folder asks nobody.
    if (ctx.LiveUpdateBase.isEmpty() || localPath.isEmpty())
        return noUpdate();
    if (!DownloadToFile(ctx.Http, address, localPath, ctx.Run, NewsTimeoutMs()) ||
        !QFile::exists(localPath))
        return noUpdate();
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return noUpdate();
    const TUpdateDescription description = ReadUpdateDescription(file.readAll());
    file.close();
    if (VersionNumber(AppVersion) >= VersionNumber(description.Version))
        return noUpdate();

    if (!ctx.Msg.Confirm(QStringLiteral("There is a new update: (version ") +
                         ToScreen(description.Version) +
                         QStringLiteral(") available for your application!. Do you want "
                                        "download this update now?")))
        return TUpdateOutcome::Declined;

    const QString missing = QStringLiteral(
        "The updater module is missing. Please reinstall again the current version!");
    const QString updater = QDir(ctx.ProgramFolder).filePath(QLatin1String(UpdaterName));
    if (!QFile::exists(updater)) {
        ctx.Msg.Failure(missing);
        return TUpdateOutcome::UpdaterMissing;
    }
    if (ctx.Msg.Show(QStringLiteral("To update your software the application will close to\n\r"
                                    "replace some files. Do you want to update now?"),
                     MsgType::Information, MsgButtons::OkCancel) == MsgResult::Cancel)
        return TUpdateOutcome::Declined;

    // Closing after a failed start would leave the user with neither the old
    // program running nor a new one.
    const QStringList arguments{QString::fromLatin1(ctx.LiveUpdateBase),
                                QString::fromLatin1(AppVersion), QStringLiteral("A")};
    if (!ctx.StartProgram(QDir::toNativeSeparators(updater), arguments)) {
        ctx.Msg.Failure(missing);
        return TUpdateOutcome::UpdaterMissing;
    }
    return TUpdateOutcome::UpdaterStarted;
}
