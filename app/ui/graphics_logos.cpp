#include "app/ui/graphics_logos.h"

#include <QFont>
#include <QPainter>

namespace vexa::ui {
namespace {

const QColor kTransparentKey(255, 0, 255);

const GraphicsLogo kNVIDIA{266, 72, 54, false, "NVIDIA"};
const GraphicsLogo kAMD{264, 72, 61, false, "AMD"};
const GraphicsLogo kATI{210, 59, 54, false, "ATI"};
const GraphicsLogo kIntelHD{274, 72, 79, true, "Intel HD"};
const GraphicsLogo kIntel{265, 55, 70, false, "Intel"};
const GraphicsLogo* const kLogos[] = {&kNVIDIA, &kAMD, &kATI, &kIntelHD, &kIntel};

constexpr uint32_t kFirstAMDCode = 0x2900000;
constexpr uint32_t kIntelHDCode = 0x4400005;

QColor VendorColour(int bitmap) {
    switch (bitmap) {
    case 266: return QColor(0x4C, 0x8C, 0x1A);
    case 264: return QColor(0x30, 0x30, 0x30);
    case 210: return QColor(0xB0, 0x1E, 0x23);
    default: return QColor(0x1A, 0x5F, 0xB4);
    }
}

} // namespace

const GraphicsLogo* SelectGraphicsLogo(uint32_t familyCode) {
    switch (familyCode >> 24) {
    case 0x01: return &kNVIDIA;
    case 0x02: return familyCode >= kFirstAMDCode ? &kAMD : &kATI;
    case 0x04: return familyCode == kIntelHDCode ? &kIntelHD : &kIntel;
    default: return nullptr;
    }
}

// A badge of the vendor's colour with its name; the transparent one on the
// key colour, the others on a light ground.
QImage DrawGraphicsLogo(int bitmap) {
    for (const GraphicsLogo* logo : kLogos) {
        if (logo->bitmap != bitmap) continue;
        QImage image(logo->width, logo->height, QImage::Format_RGB32);
        image.fill(logo->transparent ? kTransparentKey : QColor(0xF4, 0xF4, 0xF4));
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(VendorColour(bitmap));
        const QRect badge = image.rect().adjusted(3, 3, -3, -3);
        if (logo->transparent) painter.drawEllipse(badge);
        else painter.drawRoundedRect(badge, 6, 6);
        QFont font;
        font.setPixelSize(logo->width / 5);
        font.setBold(true);
        font.setStyleStrategy(QFont::NoAntialias);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(badge, Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(logo->vendor));
        return image;
    }
    return QImage();
}

} // namespace vexa::ui
