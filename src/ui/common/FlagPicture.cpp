#include "ui/common/FlagPicture.h"

#include <QImage>

QPixmap LoadFlagPicture(const std::string& path) {
    QImage image(QString::fromStdString(path));
    if (image.isNull()) return {};
    image = image.convertToFormat(QImage::Format_ARGB32);
    constexpr QRgb kMagenta = qRgb(255, 0, 255);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] | 0xFF000000u) == kMagenta) line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return QPixmap::fromImage(image);
}
