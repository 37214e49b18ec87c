#pragma once
#include <QDialog>

class IMessageBox;
class QLineEdit;
class QPushButton;

// Asks for the main keyword that Gather Keywords sends to the suggestion service.
class TfrmMainKeyword : public QDialog
{
    Q_OBJECT
public:
    TfrmMainKeyword(IMessageBox &msg, QWidget *parent = nullptr);

    QLineEdit *edtMainKeyword;
    QPushButton *btnOk;
    QPushButton *btnCancel;

    void btnOkClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    IMessageBox &m_msg;
};
