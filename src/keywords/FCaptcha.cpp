#include "keywords/FCaptcha.h"

#include "base/ErrorReport.h"
#include "base/FDialogParts.h"
#include "base/HttpClient.h"
#include "base/MessageBox.h"
#include "keywords/SuggestionPage.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
constexpr int ViewWidth = 280;
constexpr int ViewHeight = 111;
} // namespace

TfrmCaptcha::TfrmCaptcha(THttpClient &http, IMessageBox &msg, QWidget *parent)
    : QDialog(parent), m_http(http), m_msg(msg)
{
    setObjectName(QStringLiteral("frmCaptcha"));
    setWindowTitle(QStringLiteral("Security image"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);
    layout->addWidget(new QLabel(QStringLiteral("Please enter the characters in the image")));

    EmbeddedWB1 = new QLabel;
    EmbeddedWB1->setObjectName(QStringLiteral("EmbeddedWB1"));
    EmbeddedWB1->setFixedSize(ViewWidth, ViewHeight);
    EmbeddedWB1->setAlignment(Qt::AlignCenter);
    EmbeddedWB1->setAutoFillBackground(true);
    EmbeddedWB1->setBackgroundRole(QPalette::Base);
    EmbeddedWB1->setFrameShape(QFrame::StyledPanel);
    // The view takes part in the tab order, as a browser control does.
    EmbeddedWB1->setFocusPolicy(Qt::TabFocus);
    layout->addWidget(EmbeddedWB1, 0, Qt::AlignHCenter);

    edtPassword = new QLineEdit;
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    layout->addWidget(edtPassword);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    bsSkinButton1 = new QPushButton(QStringLiteral("Refresh"));
    bsSkinButton1->setObjectName(QStringLiteral("bsSkinButton1"));
    btnOk = new QPushButton(QStringLiteral("Ok"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton *b : {bsSkinButton1, btnOk, btnCancel}) {
        // Enter is not bound to any button.
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setFixedWidth(80);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    layout->addLayout(buttons);

    setTabOrder(EmbeddedWB1, edtPassword);
    setTabOrder(edtPassword, bsSkinButton1);
    setTabOrder(bsSkinButton1, btnOk);
    setTabOrder(btnOk, btnCancel);

    connect(bsSkinButton1, &QPushButton::clicked, this, Guarded([this] { bsSkinButton1Click(); }));
    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { btnOkClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, Guarded([this] { btnCancelClick(); }));
    setFixedSize(ViewWidth + 28 + 40, sizeHint().height());
}

TfrmCaptcha::~TfrmCaptcha()
{
    DropRunningLoad();
}

void TfrmCaptcha::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CenterOnScreen(this);
    FormShow();
}

void TfrmCaptcha::FormShow()
{
    const TCaptchaFields fields = ReadCaptchaPage(PageHtml);
    RandomValue = fields.RandomValue;
    SeedValue = fields.SeedValue;
    ImageSrc = fields.ImageSrc;
    Navigate(ImageSrc);
}

void TfrmCaptcha::btnOkClick()
{
    if (edtPassword->text().isEmpty()) {
        m_msg.Notice(QStringLiteral("Please enter a password."));
        return;
    }
    accept();
}

void TfrmCaptcha::btnCancelClick()
{
    reject();
}

void TfrmCaptcha::bsSkinButton1Click()
{
    // Reload what the view shows; a failed load is not reported.
    Navigate(ImageSrc);
}

void TfrmCaptcha::Navigate(const QByteArray &address)
{
    DropRunningLoad();
    EmbeddedWB1->clear();
    if (address.isEmpty()) {
        emit imageLoaded(false);
        return;
    }
    m_load =
        m_http.GetAsync(address, QByteArray(), this, [this](const THttpClient::Result &result) {
            LoadFinished(result.Body, result.Ok);
        });
}

// Asynchronous on purpose: the dialog runs modally and must not wait inside
// its own loading. The client follows redirects and sends the session's
// cookies with it.
void TfrmCaptcha::LoadFinished(const QByteArray &body, bool ok)
{
    m_load = 0;
    QImage image;
    if (ok)
        image.loadFromData(body);
    if (image.isNull()) {
        EmbeddedWB1->clear();
        emit imageLoaded(false);
        return;
    }
    // Shown at its own size; only a picture larger than the view is scaled down.
    if (image.width() > ViewWidth - 4 || image.height() > ViewHeight - 4)
        image = image.scaled(ViewWidth - 4, ViewHeight - 4, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
    EmbeddedWB1->setPixmap(QPixmap::fromImage(image));
    emit imageLoaded(true);
}

void TfrmCaptcha::DropRunningLoad()
{
    if (!m_load)
        return;
    m_http.Cancel(m_load);
    m_load = 0;
}
