#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// An installed program is started through a link on the PATH (/usr/bin) while
// its files live beside the real program file: the program folder must be the
// folder of the file the links lead to, however they are written.
class TestPlatform : public QObject
{
    Q_OBJECT
private slots:
    void executableFolder_followsLinks_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("absolute link") << QStringLiteral("absolute");
        QTest::newRow("relative link") << QStringLiteral("relative");
        QTest::newRow("link to a link") << QStringLiteral("chain");
        QTest::newRow("through a linked folder") << QStringLiteral("folder");
    }
    void executableFolder_followsLinks()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // The real program in a folder of its own, as /usr/lib/tarnwick.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("lib/prog")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bin")));
        const QString real = dir.filePath(QStringLiteral("lib/prog/probe"));
        QVERIFY(QFile::copy(QStringLiteral(PROBE_PATH), real));
        QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::ExeOwner));

        const QString link = dir.filePath(QStringLiteral("bin/probe"));
        QString start = link;
        if (how == QLatin1String("absolute")) {
            QVERIFY(QFile::link(real, link));
        } else if (how == QLatin1String("relative")) {
            QVERIFY(QFile::link(QStringLiteral("../lib/prog/probe"), link));
        } else if (how == QLatin1String("chain")) {
            QVERIFY(QFile::link(QStringLiteral("../lib/prog/probe"), link));
            start = dir.filePath(QStringLiteral("probe-again"));
            QVERIFY(QFile::link(QStringLiteral("bin/probe"), start));
        } else {
            QVERIFY(
                QFile::link(QStringLiteral("lib/prog"), dir.filePath(QStringLiteral("linked"))));
            start = dir.filePath(QStringLiteral("linked/probe"));
        }

        QProcess probe;
        probe.start(start, {});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()),
                 QFileInfo(real).canonicalPath() + QLatin1Char('/'));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
