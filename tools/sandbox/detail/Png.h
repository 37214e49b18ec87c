#pragma once
// The drawn pictures the emulated services send.

#include <string>

class QImage;

namespace sandbox {

// The picture as the bytes of a PNG file.
std::string pngBytes(const QImage &img);

} // namespace sandbox
