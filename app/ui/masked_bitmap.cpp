#include "app/ui/masked_bitmap.h"

#include <QPainter>

namespace vexa::ui {

void CreateBitmapMask(QImage& image, QImage& mask) {
    if (image.isNull()) {
        mask = QImage();
        return;
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    const QRgb transparent = image.pixel(0, 0);
    // Index 1 (set) where the image has the transparent colour.
    mask = image.createMaskFromColor(transparent, Qt::MaskInColor);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == transparent) line[x] = qRgb(0, 0, 0);
    }
}

// The mask clears the picture's area except where it is transparent, and
// the picture is ORed in: as one step, the picture with those pixels left
// out.
void DrawBitmapMasked(const QImage& mask, QPainter& target, int x, int y, int width, int height,
                      const QImage& image) {
    const QRect area = QRect(0, 0, width, height) & image.rect();
    if (area.isEmpty()) return;
    QImage visible = image.copy(area).convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < visible.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(visible.scanLine(row));
        for (int column = 0; column < visible.width(); ++column) {
            const bool inMask = row < mask.height() && column < mask.width();
            if (inMask && mask.pixelIndex(column, row) == 1) line[column] = qRgba(0, 0, 0, 0);
        }
    }
    target.drawImage(x, y, visible);
}

} // namespace vexa::ui
