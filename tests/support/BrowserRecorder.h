#pragma once
// Stands in for the user's browser: the platform's browser command points at
// a script that writes down every address it is started with.

#include "platform/Platform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class BrowserRecorder
{
public:
    BrowserRecorder()
    {
        QFile script(m_dir.filePath(QStringLiteral("browser.sh")));
        script.open(QIODevice::WriteOnly);
        // One line per start; written whole, then moved, so a reader never
        // sees half a line.
        script.write("#!/bin/sh\n"
                     "dir=$(dirname \"$0\")\n"
                     "n=$(ls \"$dir\" | grep -c '^opened-')\n"
                     "printf '%s' \"$1\" > \"$dir/part-$$\"\n"
                     "mv \"$dir/part-$$\" \"$dir/opened-$(printf '%04d' \"$n\")-$$\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        platform::SetBrowserCommandOverride("\"" + QFile::encodeName(script.fileName()) +
                                            "\" \"%1\"");
    }
    ~BrowserRecorder() { platform::ClearBrowserCommandOverride(); }

    // Every address opened so far, in the order the starts were counted.
    QByteArrayList opened() const
    {
        QByteArrayList out;
        QDir dir(m_dir.path());
        for (const QString &name :
             dir.entryList({QStringLiteral("opened-*")}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                out.append(f.readAll());
        }
        return out;
    }
    // Waits until count addresses have been opened; the last of them.
    QByteArray waitForOpened(int count = 1, int timeoutMs = 10000) const
    {
        QElapsedTimer t;
        t.start();
        while (opened().size() < count && t.elapsed() < timeoutMs)
            QTest::qWait(20);
        const QByteArrayList all = opened();
        return all.size() >= count ? all.at(count - 1) : QByteArray("<nothing opened>");
    }

private:
    QTemporaryDir m_dir;
};
