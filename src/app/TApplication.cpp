#include "app/TApplication.h"

#include "base/ErrorReport.h"
#include "base/MessageBox.h"

#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <exception>

namespace {
IMessageBox *g_errorBox = nullptr;
bool g_reporting = false;
} // namespace

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    SetUnhandledErrorSink(&TApplication::ReportError);
    // Every window without an icon of its own shows the program's.
    setWindowIcon(BuiltInIcon());
}

void TApplication::SetErrorBox(IMessageBox *box)
{
    g_errorBox = box;
}

void TApplication::ReportError(const QString &text)
{
    // An error raised while the box of an earlier one is open is not stacked.
    if (g_reporting)
        return;
    g_reporting = true;
    if (g_errorBox)
        g_errorBox->Show(text, MsgType::Warning, MsgButtons::Ok);
    else
        QMessageBox::warning(nullptr, QStringLiteral("Warning"), text);
    g_reporting = false;
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The last net: handlers are guarded themselves.
        ReportCurrentException();
    }
    return false;
}

QIcon BuiltInIcon()
{
    Q_INIT_RESOURCE(app);
    QIcon icon;
    for (int size : {48, 128, 256})
        icon.addFile(QStringLiteral(":/icon/tarnwick-%1.png").arg(size), QSize(size, size));
    return icon;
}

void ApplyBuiltInSkin()
{
    // The skin lives in a static library: register its resources by hand.
    Q_INIT_RESOURCE(app);
    QFile skin(QStringLiteral(":/skin/mainskin.qss"));
    if (skin.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));
}
