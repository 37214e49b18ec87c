#pragma once
// The reseller's own web site, as far as the branded program points at it:
// the Help, Make Money, tour and banner pages, and the welcome page's
// picture. Pictures are drawn here, pixel by pixel.

#include <string>

namespace sandbox::site {

struct Page
{
    int status = 200;
    std::string contentType;
    std::string body;
};

// path below "/site/", e.g. "help.html", "welcome.png".
Page page(const std::string &path, const std::string &query);

// The welcome picture's size and its two colours (tests look for them).
inline constexpr int kPictureWidth = 320;
inline constexpr int kPictureHeight = 96;

} // namespace sandbox::site
