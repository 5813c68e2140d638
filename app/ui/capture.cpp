#include "app/ui/capture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "platform/safe_file.h"

namespace vexa::ui {
namespace {

constexpr int kPaletteEntries = 256;

void PutLE(std::vector<uint8_t>& bytes, size_t offset, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
}

uint32_t GetLE32(const std::vector<uint8_t>& bytes, size_t offset) {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 | uint32_t(bytes[offset + 2]) << 16 |
           uint32_t(bytes[offset + 3]) << 24;
}

size_t ColourTableBytes(int bits) { return bits <= 8 ? size_t(4) << bits : 0; }

// One pixel of a row in the file's layout: blue, green, red (and a zero
// byte at 32 bits); 16 bits are x-5-5-5.
void PutPixel(uint8_t* at, QRgb colour, int bits) {
    if (bits == 16) {
        const uint16_t value = uint16_t((qRed(colour) >> 3) << 10 | (qGreen(colour) >> 3) << 5 | (qBlue(colour) >> 3));
        at[0] = uint8_t(value);
        at[1] = uint8_t(value >> 8);
        return;
    }
    at[0] = uint8_t(qBlue(colour));
    at[1] = uint8_t(qGreen(colour));
    at[2] = uint8_t(qRed(colour));
    if (bits == 32) at[3] = 0;
}

} // namespace

int CCapture::FileDepth(int screenDepth) {
    if (screenDepth <= 8) return 8;
    if (screenDepth <= 16) return 16;
    if (screenDepth == 24) return 24;
    return 32;
}

std::vector<uint8_t> CCapture::BitmapToDIB(const QImage& picture, int bits) {
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) return {};
    const int width = picture.width(), height = picture.height();
    const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
    const size_t imageSize = stride * size_t(height);
    const size_t table = ColourTableBytes(bits);
    std::vector<uint8_t> dib(kInfoHeaderBytes + table + imageSize, 0);
    PutLE(dib, 0, kInfoHeaderBytes, 4);
    PutLE(dib, 4, uint32_t(width), 4);
    PutLE(dib, 8, uint32_t(height), 4);  // positive: rows bottom-up
    PutLE(dib, 12, 1, 2);
    PutLE(dib, 14, uint32_t(bits), 2);
    PutLE(dib, 16, BI_RGB, 4);
    PutLE(dib, 20, uint32_t(imageSize), 4);

    uint8_t* rows = dib.data() + kInfoHeaderBytes + table;
    if (bits <= 8) {
        const QImage indexed = picture.convertToFormat(QImage::Format_Indexed8);
        const QList<QRgb> colours = indexed.colorTable();
        for (int i = 0; i < kPaletteEntries && i < colours.size(); ++i)
            PutPixel(dib.data() + kInfoHeaderBytes + 4 * size_t(i), colours[i], 32);
        for (int y = 0; y < height; ++y)
            std::copy_n(indexed.constScanLine(y), width, rows + stride * size_t(height - 1 - y));
        return dib;
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uint8_t* row = rows + stride * size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) PutPixel(row + size_t(x) * (bits / 8), line[x], bits);
    }
    return dib;
}

int CCapture::WriteBMP(FILE* file, const std::vector<uint8_t>& dib) {
    if (!file) return 0;
    if (dib.size() < kInfoHeaderBytes) return 1;  // nothing to write: the file stays empty
    const uint32_t headerBytes = GetLE32(dib, 0);
    const int bits = int(dib[14] | dib[15] << 8);
    std::vector<uint8_t> header(kFileHeaderBytes, 0);
    header[0] = 'B';
    header[1] = 'M';
    PutLE(header, 2, uint32_t(kFileHeaderBytes + dib.size()), 4);
    PutLE(header, 10, uint32_t(kFileHeaderBytes + headerBytes + ColourTableBytes(bits)), 4);
    std::fwrite(header.data(), 1, header.size(), file);
    std::fwrite(dib.data(), 1, dib.size(), file);
    return 1;
}

void CCapture::Capture(QWidget* window, platform::SafeFileWriter* file) {
    if (!window) return;
    const QImage picture = window->grab().toImage();
    if (!file) {
        if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(picture);
        return;
    }
    const QScreen* screen = window->screen();
    const int bits = FileDepth(screen ? screen->depth() : 32);
    const std::vector<uint8_t> dib = BitmapToDIB(picture, bits);
    if (!dib.empty()) WriteBMP(file->stream(), dib);
}

} // namespace vexa::ui
