#pragma once
#include "settings/ProgramSettings.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The about box: the reseller's product name, the version, the copyright and
// the about text, as read at start-up.
class TfrmAbout : public QDialog
{
    Q_OBJECT
public:
    TfrmAbout(const TProgramSettings &settings, QWidget *parent = nullptr);

    QLabel *lblProductName;
    QLabel *lblProductVersion;
    QLabel *lblCopyright1;
    QPlainTextEdit *memAbout;
    QPushButton *editAbout;

    void editAboutClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate(const TProgramSettings &settings);
};
