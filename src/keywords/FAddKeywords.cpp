#include "keywords/FAddKeywords.h"

#include "base/ErrorReport.h"
#include "base/FDialogParts.h"
#include "base/FModal.h"
#include "base/MessageBox.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmAddKeywords::TfrmAddKeywords(IMessageBox &msg, QWidget *parent) : QDialog(parent), m_msg(msg)
{
    setObjectName(QStringLiteral("frmAddKeywords"));
    setWindowTitle(QStringLiteral("Enter Keyword(s)"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(6);
    layout->addWidget(new QLabel(QStringLiteral("Please type keyword(s) Eg: golf, soccer:")));
    edtAddKeyword = new QLineEdit;
    edtAddKeyword->setObjectName(QStringLiteral("edtAddKeyword"));
    layout->addWidget(edtAddKeyword);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(
        QStringLiteral("Or add a file with a keyword list (one group of keywords per line):")));
    auto *fileRow = new QHBoxLayout;
    edtList = new QLineEdit;
    edtList->setObjectName(QStringLiteral("edtList"));
    btnBrowse = new QPushButton(QStringLiteral("Browse"));
    btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    btnBrowse->setAutoDefault(false);
    fileRow->addWidget(edtList);
    fileRow->addWidget(btnBrowse);
    layout->addLayout(fileRow);
    layout->addSpacing(6);
    layout->addLayout(OkCancelRow(btnOk, btnCancel));
    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { btnOkClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    connect(btnBrowse, &QPushButton::clicked, this, Guarded([this] { btnBrowseClick(); }));
    setFixedSize(440, sizeHint().height());
}

void TfrmAddKeywords::btnOkClick()
{
    const bool hasPhrase = !edtAddKeyword->text().isEmpty();
    const bool hasPath = !edtList->text().isEmpty();
    if (hasPhrase && hasPath) {
        m_msg.Notice(QStringLiteral("Please select only one way to add keywords."));
        return;
    }
    if (hasPath && !QFileInfo(edtList->text()).isFile()) {
        m_msg.Notice(QStringLiteral("Please select a valid file."));
        return;
    }
    accept();
}

void TfrmAddKeywords::btnBrowseClick()
{
    QFileDialog dialog(this, QStringLiteral("Open file"));
    dialog.setObjectName(QStringLiteral("bsSkinOpenDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QStringLiteral("Text files (*.txt)"));
    if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    edtList->setText(QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath());
}

void TfrmAddKeywords::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (edtAddKeyword->hasFocus() || edtList->hasFocus())) {
        btnOkClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmAddKeywords::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CenterOnScreen(this);
}
