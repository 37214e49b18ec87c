#pragma once
// How the program reads a reseller's pictures and skin. The main window and
// `tarnwick-brand check` share these, so the check says exactly what the
// program will make of a file.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

// The still-picture format a name's extension selects: the text after its
// last dot, lower-cased; empty without one.
QByteArray BannerExtensionFormat(const QByteArray &name);

// A name holding ".gif" anywhere (any case) is drawn as an animated GIF.
bool BannerIsAnimated(const QByteArray &name);

struct TBannerDecoding
{
    QImage First;          // the picture, or the first frame of an animation
    bool Animated = false; // drawn by the GIF player
};

// The banner's bytes read as the format its entry's name selects (the file
// name part of the entry, see BannerFileName). nullopt when they cannot be
// read so: the strip is then hidden. Needs a QGuiApplication.
std::optional<TBannerDecoding> DecodeBanner(const QByteArray &name, const QByteArray &data);

// The style sheet a skin file holds (plain text, or qCompress'ed); empty when
// it holds none we can read as text.
QString DecodeSkin(const QByteArray &raw);

// Whether Qt accepts the sheet as the application's style sheet. A sheet it
// cannot parse would drop the whole look, built-in one included. The
// application's current sheet is the same afterwards. Needs a QApplication.
bool StyleSheetParses(const QString &sheet);
