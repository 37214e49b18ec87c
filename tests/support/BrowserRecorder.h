#pragma once
// Stands in for the user's browser: the platform's browser command points at
// a script that writes down every address it is started with.

#include "platform/Platform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class BrowserRecorder
{
public:
    BrowserRecorder()
    {
        writeScript("browser.sh", "opened-");
        // The shell's "open" (link labels) reaches the desktop's opener,
        // recorded apart from the browser.
        writeScript("opener.sh", "shell-");
        platform::SetBrowserCommandOverride("\"" + QFile::encodeName(m_dir.filePath("browser.sh")) +
                                            "\" \"%1\"");
        platform::SetShellOpenerOverride(QFile::encodeName(m_dir.filePath("opener.sh")));
    }
    ~BrowserRecorder()
    {
        platform::ClearBrowserCommandOverride();
        platform::ClearShellOpenerOverride();
    }

    // Every address opened in the browser so far, in the order the starts
    // were counted.
    QByteArrayList opened() const { return recorded("opened-"); }
    // Every address handed to the shell's "open" so far.
    QByteArrayList shellOpened() const { return recorded("shell-"); }
    // Waits until count addresses have been opened; the last of them.
    QByteArray waitForOpened(int count = 1, int timeoutMs = 10000) const
    {
        return waitFor("opened-", count, timeoutMs);
    }
    QByteArray waitForShellOpened(int count = 1, int timeoutMs = 10000) const
    {
        return waitFor("shell-", count, timeoutMs);
    }

private:
    void writeScript(const char *name, const char *prefix)
    {
        QFile script(m_dir.filePath(QLatin1String(name)));
        script.open(QIODevice::WriteOnly);
        // One line per start; written whole, then moved, so a reader never
        // sees half a line.
        script.write(QByteArray("#!/bin/sh\n"
                                "dir=$(dirname \"$0\")\n"
                                "n=$(ls \"$dir\" | grep -c '^@')\n"
                                "printf '%s' \"$1\" > \"$dir/part-$$\"\n"
                                "mv \"$dir/part-$$\" \"$dir/@$(printf '%04d' \"$n\")-$$\"\n")
                         .replace("@", prefix));
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QByteArrayList recorded(const char *prefix) const
    {
        QByteArrayList out;
        QDir dir(m_dir.path());
        for (const QString &name :
             dir.entryList({QLatin1String(prefix) + QLatin1Char('*')}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                out.append(f.readAll());
        }
        return out;
    }
    QByteArray waitFor(const char *prefix, int count, int timeoutMs) const
    {
        QElapsedTimer t;
        t.start();
        while (recorded(prefix).size() < count && t.elapsed() < timeoutMs)
            QTest::qWait(20);
        const QByteArrayList all = recorded(prefix);
        return all.size() >= count ? all.at(count - 1) : QByteArray("<nothing opened>");
    }

    QTemporaryDir m_dir;
};
