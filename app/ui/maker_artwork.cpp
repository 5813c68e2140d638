#include "app/ui/maker_artwork.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace vexa::ui {
namespace {

const QColor kTransparentKey(255, 0, 255);
const QColor kMakerBlue(0x1F, 0x4E, 0x8C);
const QColor kPhoneGreen(0x3D, 0x8B, 0x3D);
const QColor kUpdateOrange(0xD9, 0x6C, 0x1E);
const QColor kSealGreen(0x2E, 0x8B, 0x57);

// A picture of that size on the transparent key, with a painter whose
// edges are not smoothed (no blended key pixel at the outline).
QImage Canvas(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kTransparentKey);
    return image;
}

void Letter(QPainter& painter, const QRect& area, int pixelSize, const QString& text) {
    QFont font;
    font.setPixelSize(pixelSize);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(area, Qt::AlignCenter, text);
}

QImage DrawMakerLogo() {
    QImage image = Canvas(108, 56);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kMakerBlue);
    painter.drawRoundedRect(QRect(2, 6, 104, 44), 8, 8);
    Letter(painter, QRect(2, 6, 104, 44), 22, QStringLiteral("Brenik"));
    return image;
}

QImage DrawPhone() {
    QImage image = Canvas(56, 66);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPhoneGreen);
    painter.drawRoundedRect(QRect(12, 2, 32, 62), 6, 6);
    painter.setBrush(Qt::white);
    painter.drawRect(QRect(16, 10, 24, 40));
    painter.setBrush(kPhoneGreen.darker(130));
    painter.drawRect(QRect(16, 10, 24, 40).adjusted(2, 2, -2, -2));
    Letter(painter, QRect(16, 10, 24, 40), 16, QStringLiteral("V"));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRect(25, 54, 6, 6));
    return image;
}

// A circle with an arrow pointing up: a newer version is there.
QImage DrawUpdatePicture() {
    QImage image = Canvas(88, 67);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kUpdateOrange);
    painter.drawEllipse(QRect(12, 1, 64, 64));
    painter.setBrush(Qt::white);
    QPainterPath arrow;
    arrow.moveTo(44, 10);
    arrow.lineTo(62, 32);
    arrow.lineTo(51, 32);
    arrow.lineTo(51, 54);
    arrow.lineTo(37, 54);
    arrow.lineTo(37, 32);
    arrow.lineTo(26, 32);
    arrow.closeSubpath();
    painter.drawPath(arrow);
    return image;
}

// A round seal with a tick: the machine is validated.
QImage DrawValidationSeal() {
    QImage image = Canvas(88, 67);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kSealGreen);
    painter.drawEllipse(QRect(12, 1, 64, 64));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    QPainterPath tick;
    tick.moveTo(27, 33);
    tick.lineTo(40, 46);
    tick.lineTo(62, 20);
    painter.drawPath(tick);
    return image;
}

} // namespace

QImage DrawMakerPicture(int bitmap) {
    switch (bitmap) {
    case kMakerLogoBitmap: return DrawMakerLogo();
    case kAndroidBitmap: return DrawPhone();
    case kUpdateBitmap: return DrawUpdatePicture();
    case kValidationBitmap: return DrawValidationSeal();
    default: return QImage();
    }
}

} // namespace vexa::ui
