#include "keywords/FMainKeyword.h"

#include "base/ErrorReport.h"
#include "base/FDialogParts.h"
#include "base/MessageBox.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmMainKeyword::TfrmMainKeyword(IMessageBox &msg, QWidget *parent) : QDialog(parent), m_msg(msg)
{
    setObjectName(QStringLiteral("frmMainKeyword"));
    setWindowTitle(QStringLiteral("Main Keyword"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);
    layout->addWidget(
        new QLabel(QStringLiteral("Please type the main keyword(s) Eg: golf, soccer:")));
    edtMainKeyword = new QLineEdit;
    edtMainKeyword->setObjectName(QStringLiteral("edtMainKeyword"));
    layout->addWidget(edtMainKeyword);
    layout->addLayout(OkCancelRow(btnOk, btnCancel));
    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { btnOkClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    setFixedSize(380, sizeHint().height());
}

void TfrmMainKeyword::btnOkClick()
{
    if (edtMainKeyword->text().isEmpty()) {
        m_msg.Notice(QStringLiteral("Please add a Main Keyword."));
        return;
    }
    accept();
}

void TfrmMainKeyword::keyPressEvent(QKeyEvent *event)
{
    // Enter in the edit box runs Ok, as in the button handler.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        edtMainKeyword->hasFocus()) {
        btnOkClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmMainKeyword::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CenterOnScreen(this);
}
