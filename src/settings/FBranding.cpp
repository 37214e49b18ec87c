#include "settings/FBranding.h"

#include "base/ErrorReport.h"
#include "base/ScreenText.h"
#include "base/Version.h"
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

// The still-picture format a name's extension selects: the text after its
// last dot, lower-cased; empty without one.
QByteArray ExtensionFormat(const QByteArray &name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QByteArray() : name.mid(dot + 1).toLower();
}

void HideStrip(const TBrandedControls &c)
{
    c.panBanner->hide();
}

bool ShowAnimated(const TBrandedControls &c, const QByteArray &data)
{
    auto *movie = new QMovie(c.gifBanner);
    auto *buffer = new QBuffer(movie);
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    movie->setDevice(buffer);
    movie->setFormat("gif");
    if (!movie->isValid() || !movie->jumpToFrame(0) || movie->currentImage().isNull()) {
        delete movie;
        return false;
    }
    const QSize size = movie->currentImage().size();
    c.gifBanner->setMovie(movie);
    c.gifBanner->resize(size);
    c.gifBanner->show();
    c.imgBanner->hide();
    movie->start();
    c.panBanner->setFixedHeight(size.height() + 10);
    return true;
}

bool ShowStill(const TBrandedControls &c, const QByteArray &data, const QByteArray &format)
{
    if (format.isEmpty())
        return false;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    // The entry's name decides the format, not the bytes.
    QImageReader reader(&buffer);
    reader.setAutoDetectImageFormat(false);
    reader.setFormat(format);
    const QImage picture = reader.read();
    if (picture.isNull())
        return false;
    c.imgBanner->setPixmap(QPixmap::fromImage(picture));
    c.imgBanner->resize(picture.size());
    c.imgBanner->show();
    c.gifBanner->hide();
    c.panBanner->setFixedHeight(picture.height() + 10);
    return true;
}

// A qCompress'ed text starts with its length (big-endian, 4 bytes) and a zlib
// header; plain style sheet text never starts with a byte below 4.
bool LooksCompressed(const QByteArray &data)
{
    if (data.size() < 6)
        return false;
    const quint32 length = qFromBigEndian<quint32>(data.constData());
    const auto cmf = quint8(data[4]);
    const auto flg = quint8(data[5]);
    return length > 0 && length < (64u << 20) && (cmf & 0x0f) == 8 && ((cmf << 8) | flg) % 31 == 0;
}

// The style sheet of a skin file; empty when it holds none we can read.
QString DecodeSkin(const QByteArray &raw)
{
    const QByteArray text = LooksCompressed(raw) ? qUncompress(raw) : raw;
    if (text.trimmed().isEmpty())
        return {};
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString sheet = utf8(text);
    if (utf8.hasError() || sheet.contains(QChar(0)))
        return {};
    return sheet;
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
                     Guarded([l = &label] { OpenURL(LinkAddress(*l)); }));
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
    const bool shown = name.toLower().contains(".gif") ? ShowAnimated(c, data)
                                                       : ShowStill(c, data, ExtensionFormat(name));
    if (!shown)
        HideStrip(c);
    return shown;
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
    if (sheet.isEmpty())
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
