#include "Png.h"

#include <QBuffer>
#include <QImage>

namespace sandbox {

std::string pngBytes(const QImage &img)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return png.toStdString();
}

} // namespace sandbox
