#include "base/FOptions.h"

#include "base/ErrorReport.h"
#include "base/FDialogParts.h"
#include "base/FModal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtMath>

namespace {

QSpinBox *spin(const char *name, int min, int max, const QString &suffix = {})
{
    auto *s = new QSpinBox;
    s->setObjectName(QLatin1String(name));
    s->setRange(min, max);
    if (!suffix.isEmpty())
        s->setSuffix(suffix);
    s->setFixedWidth(78);
    return s;
}

QHBoxLayout *row(std::initializer_list<QWidget *> widgets)
{
    auto *r = new QHBoxLayout;
    r->setSpacing(6);
    for (QWidget *w : widgets)
        r->addWidget(w);
    r->addStretch();
    return r;
}

QLabel *text(const QString &t)
{
    return new QLabel(t);
}

int Seconds(int ms)
{
    return (ms + 999) / 1000;
}

const TProxyOptions::Kind ProxyKinds[] = {TProxyOptions::Kind::None, TProxyOptions::Kind::System,
                                          TProxyOptions::Kind::Http, TProxyOptions::Kind::Https,
                                          TProxyOptions::Kind::Socks5};

} // namespace

TfrmOptions::TfrmOptions(const TUserOptions &options, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(BuildPacing());
    layout->addWidget(BuildProxy());
    layout->addWidget(BuildTimeouts());

    grpList = new QGroupBox(QStringLiteral("List"));
    grpList->setObjectName(QStringLiteral("grpList"));
    layList = new QVBoxLayout(grpList);
    grpList->hide();
    layout->addWidget(grpList);

    layout->addStretch();
    layout->addLayout(OkCancelRow(btnOk, btnCancel));
    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { accept(); }));
    connect(btnCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    connect(btnPolite, &QPushButton::clicked, this,
            Guarded([this] { SetPacing(TPacingOptions::Polite()); }));
    connect(btnPacingOff, &QPushButton::clicked, this,
            Guarded([this] { SetPacing(TPacingOptions::Off()); }));
    connect(cmbProxy, &QComboBox::currentIndexChanged, this,
            Guarded([this](int) { UpdateProxyFields(); }));
    connect(edtProxyHost, &QLineEdit::textChanged, this,
            Guarded([this](const QString &) { UpdateProxyFields(); }));
    connect(spnProxyPort, &QSpinBox::valueChanged, this,
            Guarded([this](int) { UpdateProxyFields(); }));
    // A maximum below the minimum follows it, and the other way round.
    connect(spnMinDelay, &QSpinBox::valueChanged, this, [this](int v) {
        if (spnMaxDelay->value() < v)
            spnMaxDelay->setValue(v);
    });
    connect(spnMaxDelay, &QSpinBox::valueChanged, this, [this](int v) {
        if (spnMinDelay->value() > v)
            spnMinDelay->setValue(v);
    });

    SetOptions(options);
    setFixedSize(480, sizeHint().height());
}

QWidget *TfrmOptions::BuildPacing()
{
    auto *group = new QGroupBox(QStringLiteral("Pacing of Gather Keywords and Gather Data"));
    group->setObjectName(QStringLiteral("grpPacing"));
    auto *l = new QVBoxLayout(group);
    l->setSpacing(6);
    spnMinDelay = spin("spnMinDelay", 0, 3600, QStringLiteral(" s"));
    spnMaxDelay = spin("spnMaxDelay", 0, 3600, QStringLiteral(" s"));
    spnPauseLength = spin("spnPauseLength", 0, 86400, QStringLiteral(" s"));
    spnPauseEvery = spin("spnPauseEvery", 0, 100000);
    spnPauseEvery->setSpecialValueText(QStringLiteral("never"));
    spnRetries = spin("spnRetries", 0, 20);
    spnBackoffStart = spin("spnBackoffStart", 1, 3600, QStringLiteral(" s"));
    spnBackoffCap = spin("spnBackoffCap", 1, 86400, QStringLiteral(" s"));
    l->addLayout(row({text(QStringLiteral("Wait between two requests to a site:")), spnMinDelay,
                      text(QStringLiteral("to")), spnMaxDelay}));
    l->addLayout(
        row({text(QStringLiteral("Pause for")), spnPauseLength, text(QStringLiteral("after every")),
             spnPauseEvery, text(QStringLiteral("requests"))}));
    l->addLayout(row({text(QStringLiteral("When a request fails, try")), spnRetries,
                      text(QStringLiteral("more times"))}));
    l->addLayout(row({text(QStringLiteral("waiting")), spnBackoffStart,
                      text(QStringLiteral("first, then twice as long, at most")), spnBackoffCap}));
    btnPolite = new QPushButton(QStringLiteral("Polite"));
    btnPolite->setObjectName(QStringLiteral("btnPolite"));
    btnPolite->setToolTip(QStringLiteral("2-6 s between requests, 60 s after every 50, "
                                         "3 retries from 10 s"));
    btnPacingOff = new QPushButton(QStringLiteral("Off"));
    btnPacingOff->setObjectName(QStringLiteral("btnPacingOff"));
    btnPacingOff->setToolTip(QStringLiteral("Requests go out one after the other, no retries"));
    for (QPushButton *b : {btnPolite, btnPacingOff}) {
        b->setAutoDefault(false);
        b->setFixedWidth(80);
    }
    l->addLayout(row({text(QStringLiteral("Presets:")), btnPolite, btnPacingOff}));
    return group;
}

QWidget *TfrmOptions::BuildProxy()
{
    auto *group = new QGroupBox(QStringLiteral("Proxy"));
    group->setObjectName(QStringLiteral("grpProxy"));
    auto *form = new QFormLayout(group);
    form->setLabelAlignment(Qt::AlignLeft);
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(6);
    cmbProxy = new QComboBox;
    cmbProxy->setObjectName(QStringLiteral("cmbProxy"));
    cmbProxy->addItems({QStringLiteral("None (direct connection)"),
                        QStringLiteral("System (proxy variables of the environment)"),
                        QStringLiteral("HTTP"), QStringLiteral("HTTPS"),
                        QStringLiteral("SOCKS5 (names resolved by the proxy)")});
    form->addRow(QStringLiteral("Proxy:"), cmbProxy);
    edtProxyHost = new QLineEdit;
    edtProxyHost->setObjectName(QStringLiteral("edtProxyHost"));
    spnProxyPort = spin("spnProxyPort", 0, 65535);
    spnProxyPort->setSpecialValueText(QStringLiteral(" "));
    auto *hostRow = new QHBoxLayout;
    hostRow->setSpacing(6);
    hostRow->addWidget(edtProxyHost, 1);
    hostRow->addSpacing(4);
    hostRow->addWidget(text(QStringLiteral("Port:")));
    hostRow->addWidget(spnProxyPort);
    form->addRow(QStringLiteral("Host:"), hostRow);
    edtProxyUser = new QLineEdit;
    edtProxyUser->setObjectName(QStringLiteral("edtProxyUser"));
    form->addRow(QStringLiteral("User name:"), edtProxyUser);
    edtProxyPassword = new QLineEdit;
    edtProxyPassword->setObjectName(QStringLiteral("edtProxyPassword"));
    edtProxyPassword->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password:"), edtProxyPassword);
    chkRememberPassword = new QCheckBox(QStringLiteral("Remember the password"));
    chkRememberPassword->setObjectName(QStringLiteral("chkRememberPassword"));
    form->addRow(QString(), chkRememberPassword);
    lblPasswordNote = new QLabel(
        QStringLiteral("The password goes to the system's secret store. Where none answers, it "
                       "is kept for this run only, unless \"Remember the password\" is ticked: "
                       "then it is written to your settings file as plain text."));
    lblPasswordNote->setObjectName(QStringLiteral("lblPasswordNote"));
    lblPasswordNote->setWordWrap(true);
    lblPasswordNote->setProperty("note", true);
    form->addRow(QString(), lblPasswordNote);
    return group;
}

QWidget *TfrmOptions::BuildTimeouts()
{
    auto *group = new QGroupBox(QStringLiteral("Time-outs"));
    group->setObjectName(QStringLiteral("grpTimeouts"));
    auto *l = new QVBoxLayout(group);
    l->setSpacing(6);
    spnConnectTimeout = spin("spnConnectTimeout", 1, 600, QStringLiteral(" s"));
    spnReadTimeout = spin("spnReadTimeout", 0, 3600, QStringLiteral(" s"));
    // Off: a request waits as long as the server keeps the connection open.
    spnReadTimeout->setSpecialValueText(QStringLiteral("Off"));
    l->addLayout(row({text(QStringLiteral("Give up connecting after")), spnConnectTimeout}));
    l->addLayout(
        row({text(QStringLiteral("Give up waiting for an answer after")), spnReadTimeout}));
    return group;
}

void TfrmOptions::SetPacing(const TPacingOptions &pacing)
{
    const TPacingOptions p = pacing.Normalized();
    // Both bounds at once: the follow-up of one must not move the other.
    spnMaxDelay->setValue(spnMaxDelay->maximum());
    spnMinDelay->setValue(Seconds(p.MinDelayMs));
    spnMaxDelay->setValue(Seconds(p.MaxDelayMs));
    spnPauseLength->setValue(Seconds(p.PauseMs));
    spnPauseEvery->setValue(p.PauseEvery);
    spnRetries->setValue(p.Retries);
    spnBackoffStart->setValue(Seconds(p.BackoffStartMs));
    spnBackoffCap->setValue(Seconds(p.BackoffCapMs));
}

void TfrmOptions::SetOptions(const TUserOptions &options)
{
    SetPacing(options.Pacing);
    const TProxyOptions &proxy = options.Network.Proxy;
    for (int i = 0; i < int(std::size(ProxyKinds)); ++i)
        if (ProxyKinds[i] == proxy.What)
            cmbProxy->setCurrentIndex(i);
    edtProxyHost->setText(proxy.Host);
    spnProxyPort->setValue(proxy.Port);
    edtProxyUser->setText(proxy.User);
    edtProxyPassword->setText(proxy.Password);
    chkRememberPassword->setChecked(options.RememberPassword);
    spnConnectTimeout->setValue(qMax(1, Seconds(options.Network.ConnectTimeoutMs)));
    spnReadTimeout->setValue(Seconds(options.Network.ReadTimeoutMs));
    UpdateProxyFields();
}

TUserOptions TfrmOptions::Options() const
{
    TUserOptions o;
    TPacingOptions &p = o.Pacing;
    p.MinDelayMs = spnMinDelay->value() * 1000;
    p.MaxDelayMs = spnMaxDelay->value() * 1000;
    p.PauseEvery = spnPauseEvery->value();
    p.PauseMs = spnPauseLength->value() * 1000;
    p.Retries = spnRetries->value();
    p.BackoffStartMs = spnBackoffStart->value() * 1000;
    p.BackoffCapMs = spnBackoffCap->value() * 1000;
    o.Pacing = p.Normalized();
    TProxyOptions &proxy = o.Network.Proxy;
    proxy.What = ProxyKinds[qBound(0, cmbProxy->currentIndex(), int(std::size(ProxyKinds)) - 1)];
    proxy.Host = edtProxyHost->text().trimmed();
    proxy.Port = spnProxyPort->value();
    proxy.User = edtProxyUser->text();
    proxy.Password = edtProxyPassword->text();
    o.RememberPassword = chkRememberPassword->isChecked();
    o.Network.ConnectTimeoutMs = spnConnectTimeout->value() * 1000;
    o.Network.ReadTimeoutMs = spnReadTimeout->value() * 1000;
    return o;
}

void TfrmOptions::AddListOption(QWidget *option)
{
    layList->addWidget(option);
    grpList->show();
    setFixedSize(width(), sizeHint().height());
}

void TfrmOptions::UpdateProxyFields()
{
    const TProxyOptions::Kind kind =
        ProxyKinds[qBound(0, cmbProxy->currentIndex(), int(std::size(ProxyKinds)) - 1)];
    const bool own = kind != TProxyOptions::Kind::None && kind != TProxyOptions::Kind::System;
    for (QWidget *w : std::initializer_list<QWidget *>{edtProxyHost, spnProxyPort, edtProxyUser,
                                                       edtProxyPassword, chkRememberPassword})
        w->setEnabled(own);
    // A proxy of one's own needs somewhere to go.
    const bool complete =
        !own || (!edtProxyHost->text().trimmed().isEmpty() && spnProxyPort->value() > 0);
    btnOk->setEnabled(complete);
    btnOk->setToolTip(complete ? QString()
                               : QStringLiteral("Enter the proxy's host and port, or choose None."));
}

void TfrmOptions::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CenterOnScreen(this);
}

bool EditUserOptions(TOptionsStore &store, THttpClient &http, TPacer &pacer, QWidget *parent,
                     const std::vector<TOptionsPart> &parts)
{
    TfrmOptions dialog(store.Load(), parent);
    std::vector<std::function<void()>> onOk;
    for (const TOptionsPart &part : parts)
        onOk.push_back(part(dialog));
    if (RunModal(dialog) != QDialog::Accepted)
        return false;
    const TUserOptions options = dialog.Options();
    store.Save(options);
    ApplyUserOptions(options, http, pacer);
    for (const std::function<void()> &apply : onOk)
        if (apply)
            apply();
    return true;
}

namespace {

// A gear in the light colour of the button bar's other icons.
QIcon GearIcon()
{
    QIcon icon;
    for (int size : {22, 44}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 22.0, size / 22.0);
        QPainterPath gear;
        const QPointF c(11, 11);
        const int teeth = 8;
        for (int i = 0; i < teeth * 2; ++i) {
            // Alternate outer (tooth) and inner radius, two points per step.
            const double r = (i % 2 == 0) ? 10.0 : 7.6;
            for (double d : {-0.17, 0.17}) {
                const double a = (i + 0.5 + d) * M_PI / teeth;
                const QPointF pt = c + QPointF(r * qCos(a), r * qSin(a));
                if (gear.elementCount() == 0)
                    gear.moveTo(pt);
                else
                    gear.lineTo(pt);
            }
        }
        gear.closeSubpath();
        QPainterPath hole;
        hole.addEllipse(c, 3.2, 3.2);
        p.fillPath(gear.subtracted(hole), QColor(0xdd, 0xe5, 0xee));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QToolButton *OptionsButton()
{
    auto *b = new QToolButton;
    b->setObjectName(QStringLiteral("btnOptions"));
    b->setIcon(GearIcon());
    b->setIconSize(QSize(22, 22));
    b->setFixedSize(41, 34);
    b->setToolTip(QStringLiteral("Options"));
    b->setAutoRaise(true);
    return b;
}
