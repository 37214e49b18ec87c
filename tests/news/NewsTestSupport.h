#pragma once
// The real main window wired to an in-process emulator for the news and
// update tests; the start-up check is held back until a test runs it.

#include "stats/StatsTestSupport.h"

#include "app/FMain.h"
#include "app/TApplication.h"
#include "settings/SettingsCipher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

inline std::unique_ptr<TfrmMain> OpenQuietMainWindow(const sandbox::Sandbox &box,
                                                     const QString &programFolder,
                                                     ScriptedMessageBox &msg)
{
    return OpenMainWindow(SandboxEndpoints(box), programFolder, msg);
}

// The news settings of one tier as the settings file would carry them.
inline void SetNewsTier(TProgramSettings &s, const QByteArray &type, const QByteArray &publId,
                        const QByteArray &base, const QByteArray &brandCode = "TARNWICK")
{
    s.BranderType = type;
    s.BranderCode = brandCode;
    if (type == "Platinum") {
        s.PlatinumPublID = publId;
        s.PlatinumNewsBaseURL = base;
    } else if (type == "Gold") {
        s.GoldPublID = publId;
        s.GoldNewsBaseURL = base;
    } else {
        s.MasterPublID = publId;
        s.MasterNewsBaseURL = base;
    }
}

inline QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteAll(const QString &path, const QByteArray &data, bool executable = false)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

// An updater stand-in: writes its argument count and arguments, one a line.
inline void WriteRecordingUpdater(const QString &folder, const QString &argsFile)
{
    WriteAll(QDir(folder).filePath(QStringLiteral("Updater.exe")),
             "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + argsFile.toLocal8Bit() + "'\n", true);
}

// An encrypted settings file holding the given plain lines (CR LF joined).
inline void WriteSettingsFile(const QString &programFolder, const QByteArrayList &lines)
{
    QTemporaryDir scratch;
    const QString plain = scratch.filePath(QStringLiteral("plain.txt"));
    WriteAll(plain, lines.join("\r\n") + "\r\n");
    QVERIFY(
        EncryptSettingsFile(plain, QDir(programFolder).filePath(QStringLiteral("dbsettings.dat"))));
}

inline QByteArray LastNewsIdLine(const QByteArray &id)
{
    return "<%%LastNewsId%%>" + id + "<%%/LastNewsId%%>";
}
