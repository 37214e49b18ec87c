#pragma once
#include <QDialog>

class IMessageBox;
class QLineEdit;
class QPushButton;

// Takes one typed phrase or the path of a keyword file.
class TfrmAddKeywords : public QDialog
{
    Q_OBJECT
public:
    TfrmAddKeywords(IMessageBox &msg, QWidget *parent = nullptr);

    QLineEdit *edtAddKeyword;
    QLineEdit *edtList;
    QPushButton *btnBrowse;
    QPushButton *btnOk;
    QPushButton *btnCancel;

    void btnOkClick();
    void btnBrowseClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    IMessageBox &m_msg;
};
