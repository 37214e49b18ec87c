#include "settings/FAbout.h"

#include "base/ErrorReport.h"
#include "base/FDialogParts.h"
#include "base/ScreenText.h"
#include "base/Version.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmAbout::TfrmAbout(const TProgramSettings &settings, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About..."));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(6);

    lblProductName = new QLabel;
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    QFont bold = lblProductName->font();
    bold.setBold(true);
    bold.setPixelSize(16);
    lblProductName->setFont(bold);
    lblProductVersion = new QLabel;
    lblProductVersion->setObjectName(QStringLiteral("lblProductVersion"));
    lblCopyright1 = new QLabel;
    lblCopyright1->setObjectName(QStringLiteral("lblCopyright1"));
    for (QLabel *l : {lblProductName, lblProductVersion, lblCopyright1}) {
        l->setTextFormat(Qt::PlainText);
        layout->addWidget(l);
    }
    layout->addSpacing(4);

    memAbout = new QPlainTextEdit;
    memAbout->setObjectName(QStringLiteral("memAbout"));
    memAbout->setReadOnly(true);
    memAbout->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memAbout->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(memAbout, 1);

    auto *row = new QHBoxLayout;
    row->addStretch();
    editAbout = new QPushButton(QStringLiteral("Ok"));
    editAbout->setObjectName(QStringLiteral("editAbout"));
    editAbout->setFixedWidth(80);
    editAbout->setDefault(true);
    row->addWidget(editAbout);
    layout->addLayout(row);
    connect(editAbout, &QPushButton::clicked, this, Guarded([this] { editAboutClick(); }));

    FormCreate(settings);
    setFixedSize(420, 320);
}

void TfrmAbout::FormCreate(const TProgramSettings &settings)
{
    const QString name = ToScreen(settings.ApplicationName);
    setWindowTitle(QStringLiteral("About ") + name + QStringLiteral("..."));
    lblProductName->setText(name);
    lblProductVersion->setText(QStringLiteral("Product Version: ") + ToScreen(AppVersion));
    lblCopyright1->setText(QStringLiteral("Copyright (c) ") + ToScreen(settings.CopyrightYears) +
                           QLatin1Char(' ') + ToScreen(settings.CopyrightCompany));
    // The text's own line breaks (CR LF, LF or CR) make the lines.
    QString text = ToScreen(settings.AboutText);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1); // a final break ends the last line, it starts none
    memAbout->setPlainText(text);
}

void TfrmAbout::editAboutClick()
{
    accept();
}

void TfrmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CenterOnScreen(this);
}
