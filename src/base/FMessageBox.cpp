#include "base/FMessageBox.h"

#include "base/FModal.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

MsgResult TGuiMessageBox::Show(const QString &text, MsgType type, MsgButtons buttons)
{
    QMessageBox box(m_parent);
    const bool warning = type == MsgType::Warning;
    box.setIcon(warning ? QMessageBox::Warning : QMessageBox::Information);
    box.setWindowTitle(warning ? QStringLiteral("Warning") : QStringLiteral("Information"));
    box.setText(text);
    const bool yesNo = buttons == MsgButtons::YesNo;
    QPushButton *ok = box.addButton(yesNo ? QStringLiteral("Yes") : QStringLiteral("OK"),
                                    QMessageBox::AcceptRole);
    QPushButton *cancel = nullptr;
    if (buttons == MsgButtons::OkCancel)
        cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    else if (yesNo)
        cancel = box.addButton(QStringLiteral("No"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? cancel : ok);
    box.adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        box.move(screen->availableGeometry().center() - box.rect().center());
    RunModal(box);
    if (yesNo)
        return box.clickedButton() == ok ? MsgResult::Yes : MsgResult::No;
    return box.clickedButton() == ok ? MsgResult::Ok : MsgResult::Cancel;
}
