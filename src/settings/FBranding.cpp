#include "settings/FBranding.h"

#include "base/ErrorReport.h"
#include "base/ScreenText.h"
#include "base/Version.h"
#include "platform/Platform.h"
#include "settings/BrandingRules.h"
#include "util/UUtils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QIcon>
#include <QImageReader>
#include <QMouseEvent>
#include <QMovie>
#include <QStringDecoder>
#include <QtEndian>

namespace {

const char LinkAddressProperty[] = "linkAddress";

QByteArray ReadWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void HideStrip(const TBrandedControls &c)
{
    c.panBanner->hide();
}

bool ShowAnimated(const TBrandedControls &c, const QByteArray &data, const QSize &size)
{
    auto *movie = new QMovie(c.gifBanner);
    auto *buffer = new QBuffer(movie);
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    movie->setDevice(buffer);
    movie->setFormat("gif");
    if (!movie->isValid()) {
        delete movie;
        return false;
    }
    c.gifBanner->setMovie(movie);
    c.gifBanner->resize(size);
    c.gifBanner->show();
    c.imgBanner->hide();
    movie->start();
    c.panBanner->setFixedHeight(size.height() + 10);
    return true;
}

bool ShowStill(const TBrandedControls &c, const QImage &picture)
{
    c.imgBanner->setPixmap(QPixmap::fromImage(picture));
    c.imgBanner->resize(picture.size());
    c.imgBanner->show();
    c.gifBanner->hide();
    c.panBanner->setFixedHeight(picture.height() + 10);
    return true;
}

// What a banner says to assistive technology: what it is and where a click
// goes.
void DescribeBanner(QLabel &picture, const QByteArray &name, const QByteArray &address)
{
    picture.setAccessibleName(QStringLiteral("Banner"));
    picture.setAccessibleDescription(
        address.isEmpty() ? ToScreen(name)
                          : ToScreen(name) + QStringLiteral(": opens ") + ToScreen(address));
}

} // namespace

void TBannerPicture::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void MakeLinkLabel(QLabel &label)
{
    label.setTextFormat(Qt::RichText);
    label.setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    label.setCursor(Qt::PointingHandCursor);
    // The address is kept as the bytes it was read as; the text's href only
    // makes the caption a link.
    QObject::connect(&label, &QLabel::linkActivated, &label,
                     Guarded([l = &label] { platform::ShellOpenAddress(LinkAddress(*l)); }));
}

void SetLink(QLabel &label, const QByteArray &caption, const QByteArray &address)
{
    label.setProperty(LinkAddressProperty, address);
    label.setText(
        caption.isEmpty()
            ? QString()
            : QStringLiteral("<a href=\"link\">%1</a>").arg(ToScreen(caption).toHtmlEscaped()));
}

QByteArray LinkAddress(const QLabel &label)
{
    return label.property(LinkAddressProperty).toByteArray();
}

void ApplyCaption(QWidget &window, const QByteArray &applicationName)
{
    window.setWindowTitle(ToScreen(applicationName + " v" + AppVersion));
}

void ApplyNewsButton(QWidget &btnNews, const TProgramSettings &s)
{
    btnNews.setVisible(NewsButtonVisible(s));
}

void ApplyMakeMoneyCaption(QAbstractButton &button, const QByteArray &caption)
{
    button.setText(ToScreen(caption));
}

bool ApplyBanner(const TBrandedControls &c, const TProgramSettings &s, const QString &folder)
{
    if (!s.BannerURL.isEmpty()) {
        c.imgBanner->setCursor(Qt::PointingHandCursor);
        c.gifBanner->setCursor(Qt::PointingHandCursor);
    }
    if (s.BannerImage.isEmpty()) {
        HideStrip(c);
        return false;
    }
    // The banner stays under its neutral name; the entry's name only picks
    // how its bytes are read.
    const QString file = folder + QStringLiteral("banner%1.dat").arg(s.BannerNumber);
    if (!QFile::exists(file)) {
        HideStrip(c);
        return false;
    }
    const QByteArray name = BannerFileName(s.BannerImage);
    const QByteArray data = ReadWholeFile(file);
    const std::optional<TBannerDecoding> picture = DecodeBanner(name, data);
    const bool shown = picture && (picture->Animated ? ShowAnimated(c, data, picture->First.size())
                                                     : ShowStill(c, picture->First));
    if (!shown) {
        HideStrip(c);
        return false;
    }
    DescribeBanner(*c.imgBanner, name, s.BannerURL);
    DescribeBanner(*c.gifBanner, name, s.BannerURL);
    return true;
}

void ApplyLinks(const TBrandedControls &c, const TProgramSettings &s)
{
    c.panLinks->setVisible(!s.Link1Caption.isEmpty());
    SetLink(*c.lblLink1URL, s.Link1Caption, s.Link1URL);
    SetLink(*c.lblLink2URL, s.Link2Caption, s.Link2URL);
}

bool ApplySkin(const QString &folder)
{
    const QString path = folder + QStringLiteral("mainskin.dat");
    if (!QFile::exists(path))
        return false;
    const QString sheet = DecodeSkin(ReadWholeFile(path));
    // Qt drops a sheet it cannot parse whole, the built-in look with it.
    if (sheet.isEmpty() || !StyleSheetParses(sheet))
        return false;
    // A skin's pictures are named url(skin:name.png), found beside it.
    QDir::setSearchPaths(QStringLiteral("skin"), {folder});
    qApp->setStyleSheet(sheet);
    return true;
}

bool ApplyIcon(QWidget &window, const QString &folder)
{
    const QString path = folder + QStringLiteral("main.ico");
    if (!QFile::exists(path))
        return false;
    const QIcon icon(path);
    if (icon.availableSizes().isEmpty())
        return false;
    qApp->setWindowIcon(icon);
    window.setWindowIcon(icon);
    return true;
}

void ApplyBranding(const TBrandedControls &c, const TSettingsPass &pass, const QString &folder)
{
    const TProgramSettings &s = pass.Settings;
    ApplyCaption(*c.Window, s.ApplicationName);
    ApplyNewsButton(*c.btnNews, s);
    ApplyMakeMoneyCaption(*c.btnMakeMoney, ShownMakeMoneyCaption(pass));
    ApplyBanner(c, s, folder);
    ApplyLinks(c, s);
    ApplySkin(folder);
    ApplyIcon(*c.Window, folder);
}
