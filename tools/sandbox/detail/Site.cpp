#include "Site.h"

#include "Png.h"

#include <QImage>

namespace sandbox::site {

namespace {

std::string html(const std::string &title, const std::string &body)
{
    return "<!DOCTYPE html>\n<html><head><title>" + title +
           "</title></head>\n<body style=\"font-family: sans-serif; margin: 2em\">\n<h1>" + title +
           "</h1>\n" + body + "\n</body></html>\n";
}

// A slate-to-teal band with a white disc and three bars, like a logo.
std::string welcomePng()
{
    const int w = kPictureWidth, h = kPictureHeight;
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int t = x * 255 / (w - 1);
            img.setPixel(x, y,
                         qRgb(47 + (24 - 47) * t / 255, 62 + (150 - 62) * t / 255,
                              82 + (136 - 82) * t / 255));
        }
    const int cx = 48, cy = h / 2, r = 30;
    for (int y = cy - r; y <= cy + r; ++y)
        for (int x = cx - r; x <= cx + r; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                img.setPixel(x, y, qRgb(255, 255, 255));
    for (int bar = 0; bar < 3; ++bar) {
        const int top = 26 + bar * 16, length = 190 - bar * 50;
        for (int y = top; y < top + 9; ++y)
            for (int x = 100; x < 100 + length; ++x)
                img.setPixel(x, y, qRgb(244, 246, 249));
    }
    return pngBytes(img);
}

} // namespace

Page page(const std::string &path, const std::string &query)
{
    if (path == "welcome.png")
        return {200, "image/png", welcomePng()};
    if (path == "broken.png")
        return {200, "image/png", "these bytes are no picture"};
    if (path == "help.html")
        return {200, "text/html",
                html("Tarnwick help",
                     "<p>Main Keyword, Gather Keywords, Gather Data, Save Results: the "
                     "buttons from left to right are the steps of a research.</p>")};
    if (path == "makemoney.html")
        return {200, "text/html",
                html("Earn with Tarnwick", "<p>Your affiliate link: <code>" + query +
                                               "</code>. Every sale it brings earns you 50%.</p>")};
    if (path == "tour.html")
        return {200, "text/html",
                html("A short tour", "<p>Three minutes from a seed word to a CSV file.</p>")};
    if (path.rfind("banner", 0) == 0 && path.size() > 5 &&
        path.compare(path.size() - 5, 5, ".html") == 0)
        return {200, "text/html", html("You clicked the banner", "<p>" + path + "</p>")};
    return {404, "text/html", html("Not found", "<p>/site/" + path + "</p>")};
}

} // namespace sandbox::site
