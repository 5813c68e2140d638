#include "app/ui/artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cstring>

#include "app/ui/graphics_logos.h"
#include "app/ui/maker_artwork.h"
#include "app/ui/processor_logos.h"

namespace vexa::ui {
namespace {

const QColor kTransparentKey(255, 0, 255);
const QColor kBlankGrey(192, 192, 192);

struct BadgeColor {
    const char* vendor;
    QRgb face;
};

// Each family's badge colour (ours, not the vendors'); white lettering.
QColor FaceColor(const char* vendor) {
    static constexpr BadgeColor kColors[] = {
        {"Intel", 0x2A5DA8}, {"AMD", 0x3A3A3A}, {"VIA", 0x1E7F74},
        {"Cyrix", 0x6A3D8F}, {"IDT", 0x8A5A1E}, {"Transmeta", 0xB05020},
    };
    for (const BadgeColor& color : kColors)
        if (std::strcmp(color.vendor, vendor) == 0) return QColor(color.face);
    return QColor(0x505050);
}

// A chip: a rounded body with pins on two sides, the family's name on it.
void DrawBadge(QPainter& painter, const QRect& area, const ProcessorLogo& logo, bool transparent) {
    const QColor face = FaceColor(logo.vendor);
    const QRect body = area.adjusted(6, 6, -6, -6);
    // The outline against the magenta key is drawn without smoothing, so no
    // blended pixel of the key colour shows at the edge.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(face.darker(140));
    for (int x = body.left() + 5; x < body.right() - 3; x += 7) {
        painter.drawRect(x, area.top() + 1, 3, 5);
        painter.drawRect(x, area.bottom() - 5, 3, 5);
    }
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, face.lighter(130));
    shade.setColorAt(1, face);
    painter.setBrush(shade);
    painter.drawRoundedRect(body, 5, 5);
    if (!transparent) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(face.darker(160), 1));
        painter.drawRoundedRect(body, 5, 5);
    }

    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(Qt::white);
    QFont vendorFont;
    vendorFont.setBold(true);
    vendorFont.setPixelSize(*logo.line ? 12 : 16);
    painter.setFont(vendorFont);
    const QRect text = body.adjusted(3, 3, -3, -3);
    if (!*logo.line) {
        painter.drawText(text, Qt::AlignCenter, logo.vendor);
        return;
    }
    const int split = text.top() + text.height() * 2 / 5;
    painter.drawText(QRect(text.left(), text.top(), text.width(), split - text.top()),
                     Qt::AlignHCenter | Qt::AlignBottom, logo.vendor);
    QFont lineFont;
    lineFont.setBold(true);
    lineFont.setPixelSize(std::strlen(logo.line) > 9 ? 9 : 11);
    painter.setFont(lineFont);
    painter.drawText(QRect(text.left(), split + 2, text.width(), text.bottom() - split - 2),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, logo.line);
}

QImage DrawProcessorLogo(const ProcessorLogo& logo) {
    QImage image(LogoWidth(logo.form), LogoHeight(logo.form), QImage::Format_RGB32);
    if (logo.bitmap == kBlankLogoBitmap) {
        image.fill(kBlankGrey);
        return image;
    }
    const bool transparent = logo.form != LogoForm::Opaque;
    image.fill(transparent ? kTransparentKey : QColor(0xF4, 0xF4, 0xF4));
    QPainter painter(&image);
    DrawBadge(painter, image.rect(), logo, transparent);
    return image;
}

// The splash banner: the chip icon and the program's name on white.
QImage DrawSplashBanner() {
    QImage image(320, 96, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.drawImage(QRect(16, 16, 64, 64), DrawAppIcon(64));
    QFont name;
    name.setBold(true);
    name.setItalic(true);
    name.setPixelSize(40);
    painter.setFont(name);
    painter.setPen(QColor(0x2A, 0x5D, 0xA8));
    painter.drawText(QRect(96, 14, 210, 46), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vexa"));
    QFont subtitle;
    subtitle.setPixelSize(13);
    painter.setFont(subtitle);
    painter.setPen(QColor(0x50, 0x50, 0x50));
    painter.drawText(QRect(98, 58, 210, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("하드웨어 정보"));
    painter.setPen(QColor(0xD0, 0xD8, 0xE8));
    painter.drawLine(0, 95, 319, 95);
    return image;
}

} // namespace

QImage DrawAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(size / 32.0, size / 32.0);
    const QColor face(0x2A, 0x5D, 0xA8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(face.darker(150));
    for (int i = 0; i < 4; ++i) {
        const int at = 8 + i * 5;
        painter.drawRect(at, 1, 2, 4);
        painter.drawRect(at, 27, 2, 4);
        painter.drawRect(1, at, 4, 2);
        painter.drawRect(27, at, 4, 2);
    }
    QLinearGradient shade(0, 5, 0, 27);
    shade.setColorAt(0, face.lighter(135));
    shade.setColorAt(1, face);
    painter.setBrush(shade);
    painter.drawRoundedRect(QRectF(5, 5, 22, 22), 3, 3);
    QPainterPath letter;
    letter.moveTo(10, 10);
    letter.lineTo(16, 23);
    letter.lineTo(22, 10);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(letter);
    return image;
}

QIcon LoadAppIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(DrawAppIcon(16)));
    icon.addPixmap(QPixmap::fromImage(DrawAppIcon(32)));
    return icon;
}

QImage LoadBitmapResource(int bitmap) {
    if (bitmap == kSplashBitmap) return DrawSplashBanner();
    if (const ProcessorLogo* logo = FindProcessorLogo(bitmap)) return DrawProcessorLogo(*logo);
    if (QImage graphics = DrawGraphicsLogo(bitmap); !graphics.isNull()) return graphics;
    return DrawMakerPicture(bitmap);
}

} // namespace vexa::ui
