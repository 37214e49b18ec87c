#include "NewsPicture.h"

#include "Png.h"
#include "Text.h"

#include <QImage>
#include <cmath>

namespace sandbox::news {

std::string picturePng(const std::string &name)
{
    const std::uint64_t h = text::fnv1a64(name);
    QImage img(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    const int hue = int(h % 360);
    for (int y = 0; y < kPictureHeight; ++y) {
        const QColor sky = QColor::fromHsv(hue, 60 + y, 250 - y);
        for (int x = 0; x < kPictureWidth; ++x)
            img.setPixel(x, y, sky.rgb());
    }
    // A sun, then two rows of hills in front of it.
    const int sunX = 60 + int((h >> 12) % 200);
    const int sunY = 30;
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x)
            if ((x - sunX) * (x - sunX) + (y - sunY) * (y - sunY) <= 18 * 18)
                img.setPixel(x, y, qRgb(255, 214, 64));
    const QColor hills[] = {QColor::fromHsv((hue + 120) % 360, 140, 170),
                            QColor::fromHsv((hue + 120) % 360, 170, 120)};
    for (int layer = 0; layer < 2; ++layer) {
        const double phase = double((h >> (20 + 8 * layer)) % 100) / 10.0;
        for (int x = 0; x < kPictureWidth; ++x) {
            const int top = int(kPictureHeight * (0.55 + 0.2 * layer) +
                                10 * std::sin(x / (30.0 + 15 * layer) + phase));
            for (int y = std::max(0, top); y < kPictureHeight; ++y)
                img.setPixel(x, y, hills[layer].rgb());
        }
    }
    return pngBytes(img);
}

} // namespace sandbox::news
