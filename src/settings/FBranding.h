#pragma once
// What the reseller's settings put on the main window: the caption, the News
// button, the Make Money caption, the banner strip, the link strip, the skin
// and the icon. Each step acts on the controls it is given, so the window
// only hands them over.

#include "settings/SettingsFile.h"

#include <QLabel>

class QAbstractButton;
class QFrame;
class QWidget;

// A banner picture that reports a click on it.
class TBannerPicture : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// A link label opens its own address through the shell's "open" when
// clicked, so that mail and file addresses reach their own handlers.
void MakeLinkLabel(QLabel &label);
void SetLink(QLabel &label, const QByteArray &caption, const QByteArray &address);
QByteArray LinkAddress(const QLabel &label);

struct TBrandedControls
{
    QWidget *Window;
    QWidget *btnNews;
    QAbstractButton *btnMakeMoney;
    QFrame *panBanner;
    QLabel *imgBanner;
    QLabel *gifBanner;
    QFrame *panLinks;
    QLabel *lblLink1URL;
    QLabel *lblLink2URL;
};

// The screen steps in the order the settings are read; folder ends with a
// separator.
void ApplyBranding(const TBrandedControls &controls, const TSettingsPass &pass,
                   const QString &folder);

void ApplyCaption(QWidget &window, const QByteArray &applicationName);
void ApplyNewsButton(QWidget &btnNews, const TProgramSettings &settings);
void ApplyMakeMoneyCaption(QAbstractButton &button, const QByteArray &caption);
// False when the strip ends up hidden.
bool ApplyBanner(const TBrandedControls &controls, const TProgramSettings &settings,
                 const QString &folder);
void ApplyLinks(const TBrandedControls &controls, const TProgramSettings &settings);
// True when mainskin.dat replaced the built-in look.
bool ApplySkin(const QString &folder);
// True when main.ico became the program's icon.
bool ApplyIcon(QWidget &window, const QString &folder);
