#include "ModalScript.h"

#include "ScriptedMessageBox.h"
#include "app/FMain.h"
#include "app/TApplication.h"

#include <QHeaderView>
#include <QTableView>
#include <QTimer>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

void SaveShot(QWidget &widget, const QString &name)
{
    QString dir = qEnvironmentVariable("TARNWICK_SHOTS");
    if (dir.isEmpty())
        dir = QDir::currentPath() + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    widget.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void UseOwnPrivateRunFolder()
{
    // Test programs run side by side; each keeps its private files apart.
    static QTemporaryDir folder;
    static const bool set = [] {
        return qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
    }();
    Q_UNUSED(set);
}

std::unique_ptr<TfrmMain> OpenMainWindow(const Endpoints &urls, const QString &programFolder,
                                         ScriptedMessageBox &msg, bool reportErrors)
{
    UseOwnPrivateRunFolder();
    auto window = std::make_unique<TfrmMain>(urls, programFolder);
    // The start-up news and update check would put its own requests on the
    // wire at a moment that depends on the machine's load; a test that wants
    // it runs Timer1Timer() itself.
    window->Timer1->stop();
    msg.clear();
    window->SetMessageBox(&msg);
    if (reportErrors)
        TApplication::SetErrorBox(&msg);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    return window;
}

void ClickHeader(TfrmMain &window, int column)
{
    QHeaderView *header = window.lvwItems->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}
