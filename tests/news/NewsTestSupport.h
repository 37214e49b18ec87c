#pragma once
// The real main window wired to an in-process emulator for the news and
// update tests; the start-up check is held back until a test runs it.

#include "stats/StatsTestSupport.h"

#include "app/FMain.h"
#include "app/TApplication.h"
#include "base/CommandContext.h"
#include "base/HttpClient.h"
#include "base/RunState.h"
#include "settings/SettingsCipher.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// What each news and update test holds: the emulator, a program folder made
// anew for every test, the window on it and the box that answers its messages.
struct NewsFixture
{
    sandbox::Sandbox box;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<TfrmMain> w;
    ScriptedMessageBox msg;

    QString programFolder() const { return folder->path() + QLatin1Char('/'); }
    // The emulator without faults or recorded requests, one valid publisher
    // and these items on its news service.
    void resetNews(std::vector<sandbox::NewsItem> items)
    {
        box.clearFaults();
        box.clearRequests();
        box.clearNewsReply();
        box.setValidPublisher("PUB1001", "TARNWICK");
        box.setNewsItems(std::move(items));
    }
    // Requests under prefix are answered only after a pause of ms; times as
    // in sandbox::Fault.
    void slowDown(const std::string &prefix, int ms, int times = -1)
    {
        sandbox::Fault slow;
        slow.pathPrefix = prefix;
        slow.delayBeforeMs = ms;
        slow.times = times;
        box.addFault(slow);
    }
    void newFolder() { folder = std::make_unique<QTemporaryDir>(); }
    bool openWindow()
    {
        w = OpenMainWindow(SandboxEndpoints(box), programFolder(), msg);
        return w != nullptr;
    }
    void closeWindow()
    {
        w.reset();
        TApplication::SetErrorBox(nullptr);
    }
};

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

// A real Gather Data run on one keyword, stopped by the user while its first
// page waits. The stop flag stays set afterwards, as a Stop leaves it.
inline void StopAGatherDataRun(NewsFixture &f)
{
    f.w->Context().List.addRow("golf");
    f.slowDown("/google", 5000, 1);
    ModalScript script;
    AnswerSearchType(script, 0);
    WhenRequested stopper(
        f.box,
        [](const auto &seen) {
            for (const auto &r : seen)
                if (r.path.rfind("/google", 0) == 0)
                    return true;
            return false;
        },
        [&] { QTest::mouseClick(f.w->btnGatherData, Qt::LeftButton); });
    QTest::mouseClick(f.w->btnGatherData, Qt::LeftButton);
    QVERIFY(stopper.fired());
    QCOMPARE(f.w->btnGatherData->text(), QStringLiteral("Gather Data"));
    f.box.clearFaults();
}

// Whether the HTTP client gives up on a request after its timeoutMs. Asks the
// emulator once, for a file held back longer than that.
inline bool ClientHonoursTimeOut(sandbox::Sandbox &box)
{
    sandbox::Fault slow;
    slow.pathPrefix = "/liveupdate/";
    slow.delayBeforeMs = 3000;
    slow.times = 1;
    box.addFault(slow);
    TRunState run;
    THttpClient http(run, QDir::tempPath());
    const THttpClient::Result result =
        http.Get(Bytes(box.liveUpdateBase()) + "mainappupdate.inf", nullptr, 300);
    box.clearFaults();
    box.clearRequests();
    return !result.Ok;
}
