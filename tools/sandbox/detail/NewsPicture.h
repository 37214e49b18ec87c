#pragma once
// Pictures the news items show: drawn on request, the same name giving the
// same picture, without fonts or a QGuiApplication.

#include <string>

namespace sandbox::news {

inline constexpr int kPictureWidth = 320;
inline constexpr int kPictureHeight = 100;

// PNG bytes of a small landscape whose colours follow the name.
std::string picturePng(const std::string &name);

} // namespace sandbox::news
