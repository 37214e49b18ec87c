#include "settings/BrandingRules.h"

#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <QMovie>
#include <QStringDecoder>
#include <QStyle>
#include <QWidget>
#include <QtEndian>
#include <cstdio>

QByteArray BannerExtensionFormat(const QByteArray &name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot < 0 ? QByteArray() : name.mid(dot + 1).toLower();
}

bool BannerIsAnimated(const QByteArray &name)
{
    return name.toLower().contains(".gif");
}

std::optional<TBannerDecoding> DecodeBanner(const QByteArray &name, const QByteArray &data)
{
    TBannerDecoding out;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    if (BannerIsAnimated(name)) {
        QMovie movie(&buffer, "gif");
        if (!movie.isValid() || !movie.jumpToFrame(0) || movie.currentImage().isNull())
            return std::nullopt;
        out.First = movie.currentImage();
        out.Animated = true;
        return out;
    }
    const QByteArray format = BannerExtensionFormat(name);
    if (format.isEmpty())
        return std::nullopt;
    // The entry's name decides the format, not the bytes.
    QImageReader reader(&buffer);
    reader.setAutoDetectImageFormat(false);
    reader.setFormat(format);
    out.First = reader.read();
    if (out.First.isNull())
        return std::nullopt;
    return out;
}

namespace {

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

// Qt reports a sheet it cannot parse only as a warning.
bool *g_parseFailed = nullptr;
QtMessageHandler g_previousHandler = nullptr;

void CatchParseWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (g_parseFailed && message.startsWith(QLatin1String("Could not parse"))) {
        *g_parseFailed = true;
        return;
    }
    if (g_previousHandler) {
        g_previousHandler(type, context, message);
        return;
    }
    const QString line = qFormatLogMessage(type, context, message);
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

} // namespace

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

bool StyleSheetParses(const QString &sheet)
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app)
        return false;
    const QString before = app->styleSheet();
    bool failed = false;
    g_parseFailed = &failed;
    g_previousHandler = qInstallMessageHandler(CatchParseWarning);
    {
        // The sheet is parsed when a widget is polished under it.
        app->setStyleSheet(sheet);
        QWidget probe;
        probe.ensurePolished();
        app->style()->polish(&probe);
        app->setStyleSheet(before);
        QWidget again;
        again.ensurePolished();
    }
    qInstallMessageHandler(g_previousHandler);
    g_previousHandler = nullptr;
    g_parseFailed = nullptr;
    return !failed;
}
