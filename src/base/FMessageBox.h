#pragma once
#include "base/MessageBox.h"

class QWidget;

// The real msgMain: a QMessageBox titled after its type, centred on the screen.
class TGuiMessageBox : public IMessageBox
{
public:
    explicit TGuiMessageBox(QWidget *parent) : m_parent(parent) {}
    MsgResult Show(const QString &text, MsgType type, MsgButtons buttons) override;

private:
    QWidget *m_parent;
};
