#include "CaptchaImage.h"

#include "Png.h"
#include "Text.h"

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace sandbox::captcha {

const char kAlphabet[] = "ACDEFHJKLMNPRTUVWXY34679";

namespace {

struct Glyph
{
    char c;
    std::uint8_t rows[7]; // five bits each, leftmost pixel in bit 4
};

// clang-format off
const Glyph kGlyphs[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
};
// clang-format on

const Glyph *glyphFor(char c)
{
    for (const Glyph &g : kGlyphs)
        if (g.c == c)
            return &g;
    return nullptr;
}

void plot(QImage &img, int x, int y, QRgb color)
{
    if (x >= 0 && y >= 0 && x < img.width() && y < img.height())
        img.setPixel(x, y, color);
}

void line(QImage &img, int x0, int y0, int x1, int y1, QRgb color)
{
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i) {
        const int x = x0 + (steps ? (x1 - x0) * i / steps : 0);
        const int y = y0 + (steps ? (y1 - y0) * i / steps : 0);
        plot(img, x, y, color);
    }
}

} // namespace

std::string randomAnswer(std::uint64_t entropy)
{
    text::SplitMix64 gen{entropy};
    const size_t alphabetSize = std::strlen(kAlphabet);
    const size_t length = 5 + gen.below(2);
    std::string out;
    for (size_t i = 0; i < length; ++i)
        out += kAlphabet[gen.below(alphabetSize)];
    return out;
}

std::string renderPng(const std::string &text, std::uint64_t seed)
{
    text::SplitMix64 gen{seed};
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    img.fill(qRgb(236, 238, 228));

    // Speckles behind the characters.
    for (int i = 0; i < 400; ++i)
        plot(img, int(gen.below(kWidth)), int(gen.below(kHeight)),
             qRgb(150 + int(gen.below(80)), 150 + int(gen.below(80)), 150 + int(gen.below(80))));

    const int scale = 4;
    const int cell = 30;
    const int n = int(text.size());
    int x = (kWidth - (n - 1) * cell - 5 * scale) / 2;
    for (char c : text) {
        const Glyph *g = glyphFor(c);
        const int y = (kHeight - 7 * scale) / 2 - 6 + int(gen.below(13));
        const int slant = int(gen.below(3)) - 1; // leans one way or the other
        const QRgb ink = qRgb(int(gen.below(90)), int(gen.below(70)), 60 + int(gen.below(100)));
        for (int row = 0; g && row < 7; ++row) {
            const int shift = slant * (3 - row) / 2;
            for (int col = 0; col < 5; ++col) {
                if (!(g->rows[row] & (0x10 >> col)))
                    continue;
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx)
                        plot(img, x + col * scale + dx + shift, y + row * scale + dy, ink);
            }
        }
        x += cell - 2 + int(gen.below(5));
    }

    // Noise lines across the text.
    for (int i = 0; i < 3; ++i)
        line(img, 0, int(gen.below(kHeight)), kWidth - 1, int(gen.below(kHeight)),
             qRgb(110 + int(gen.below(90)), 110 + int(gen.below(90)), 110 + int(gen.below(90))));

    return pngBytes(img);
}

} // namespace sandbox::captcha
