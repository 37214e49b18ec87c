#pragma once
#include <QByteArray>
#include <QDialog>
#include <QPointer>

class IMessageBox;
class QLabel;
class QLineEdit;
class QPushButton;
class THttpClient;

// The suggestion service's security check: shows the image of a challenge
// page and takes the characters the user reads in it. The image comes
// through the program's own client, so it belongs to the same session as the
// page.
class TfrmCaptcha : public QDialog
{
    Q_OBJECT
public:
    TfrmCaptcha(THttpClient &http, IMessageBox &msg, QWidget *parent = nullptr);
    ~TfrmCaptcha() override;

    QByteArray PageHtml; // set by the caller before showing
    QByteArray RandomValue;
    QByteArray SeedValue;
    QByteArray ImageSrc;

    QLabel *EmbeddedWB1;
    QLineEdit *edtPassword;
    QPushButton *bsSkinButton1;
    QPushButton *btnOk;
    QPushButton *btnCancel;

    void FormShow();
    void btnOkClick();
    void btnCancelClick();
    void bsSkinButton1Click();

signals:
    // The image view finished a load; ok is false when nothing could be shown.
    void imageLoaded(bool ok);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Navigate(const QByteArray &address);
    void LoadFinished(const QByteArray &body, bool ok);
    void DropRunningLoad();

    THttpClient &m_http;
    IMessageBox &m_msg;
    quint64 m_load = 0; // the client's handle of the running load, 0 without one
};
