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
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
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
    Load(address, 0);
}

// Asynchronous on purpose: the dialog runs modally and must not wait inside
// its own loading.
void TfrmCaptcha::Load(const QByteArray &address, int hops)
{
    QNetworkReply *reply = m_http.Manager()->get(m_http.MakeRequest(address));
    m_load = reply;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, hops] { LoadFinished(reply, hops); });
}

void TfrmCaptcha::LoadFinished(QNetworkReply *reply, int hops)
{
    reply->deleteLater();
    if (reply != m_load)
        return;
    m_load.clear();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (reply->error() == QNetworkReply::NoError && status >= 300 && status < 400 &&
        target.isValid() && hops < THttpClient::MaxRedirects) {
        Load(reply->url().resolved(target).toEncoded(), hops + 1);
        return;
    }
    QImage image;
    if (reply->error() == QNetworkReply::NoError)
        image.loadFromData(reply->readAll());
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
    QNetworkReply *reply = m_load;
    m_load.clear();
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}
