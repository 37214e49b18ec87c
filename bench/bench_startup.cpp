// Time from program start to the first painted main window, with the demo's
// settings (welcome page, banner, links) and without a settings file. Each
// run is a fresh process: this program starts itself with --child, which
// opens the real main window and says "painted" after its first paint.
//
//   bench_startup [DEMO_FOLDER] [RUNS]    default: the repository's demo/, 15 runs
//
// Prepare the demo folder first with scripts/demo.sh --prepare.

#include "app/FMain.h"
#include "app/TApplication.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget &window, QElapsedTimer &since) : m_window(window), m_since(since) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_done && event->type() == QEvent::Paint && watched->isWidgetType() &&
            (watched == &m_window || m_window.isAncestorOf(static_cast<QWidget *>(watched)))) {
            m_done = true;
            // Report once this paint pass has ended.
            QTimer::singleShot(0, [this] {
                std::printf("painted %.3f\n", m_since.nsecsElapsed() / 1e6);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget &m_window;
    QElapsedTimer &m_since;
    bool m_done = false;
};

int Child(int argc, char **argv, const QString &folder)
{
    QElapsedTimer since;
    since.start();
    TApplication app(argc, argv);
    ApplyBuiltInSkin();
    TfrmMain window(Endpoints{}, folder);
    FirstPaint probe(window, since);
    app.installEventFilter(&probe);
    window.show();
    return app.exec();
}

struct Stats
{
    double min = 0, median = 0, max = 0, inProcess = 0;
};

Stats Measure(const QString &self, const QString &folder, int runs)
{
    QList<double> wall, inside;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        child.start(self, {QStringLiteral("--child"), folder});
        QByteArray out;
        while (!out.contains('\n') && child.waitForReadyRead(30000))
            out += child.readAllStandardOutput();
        const double ms = t.nsecsElapsed() / 1e6;
        child.waitForFinished(30000);
        if (!out.startsWith("painted ")) {
            std::fprintf(stderr, "bench_startup: run %d did not paint\n", i + 1);
            continue;
        }
        wall.append(ms);
        inside.append(out.mid(8).trimmed().toDouble());
    }
    Stats s;
    if (wall.isEmpty())
        return s;
    std::sort(wall.begin(), wall.end());
    std::sort(inside.begin(), inside.end());
    s.min = wall.first();
    s.max = wall.last();
    s.median = wall.at(wall.size() / 2);
    s.inProcess = inside.at(inside.size() / 2);
    return s;
}

void Report(const char *name, const Stats &s, int runs)
{
    std::printf("%-28s median %7.1f ms  min %7.1f  max %7.1f  (from main(): %6.1f ms)  %d runs\n",
                name, s.median, s.min, s.max, s.inProcess, runs);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && QByteArray(argv[1]) == "--child")
        return Child(argc, argv, QFile::decodeName(argv[2]));

    QCoreApplication app(argc, argv);
    const QString demo =
        argc >= 2 ? QFile::decodeName(argv[1]) : QStringLiteral(TARNWICK_SOURCE_DIR "/demo");
    const int runs = argc >= 3 ? qMax(1, atoi(argv[2])) : 15;
    const QString self = QCoreApplication::applicationFilePath();

    QTemporaryDir plain, branded;
    const Stats without = Measure(self, plain.path() + QLatin1Char('/'), runs);
    Report("no settings file", without, runs);

    QDir source(demo);
    if (!source.exists(QStringLiteral("dbsettings.dat"))) {
        std::printf("demo settings: %s/dbsettings.dat not found; run scripts/demo.sh --prepare\n",
                    qPrintable(demo));
        return 0;
    }
    for (const QString &name :
         source.entryList({QStringLiteral("dbsettings.dat"), QStringLiteral("banner*.dat"),
                           QStringLiteral("mainskin.dat"), QStringLiteral("main.ico")},
                          QDir::Files))
        QFile::copy(source.filePath(name), branded.filePath(name));
    const Stats with = Measure(self, branded.path() + QLatin1Char('/'), runs);
    Report("demo settings (welcome page)", with, runs);
    return 0;
}
