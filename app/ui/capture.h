// A picture of the main window, put on the clipboard or written as a
// Windows bitmap file (BMP): a 14-byte file header, then the DIB block
// (the 40-byte BITMAPINFOHEADER, the colour table, the rows bottom-up,
// each padded to a multiple of 4 bytes), all little-endian, in the colour
// depth of the window's screen. Depths of 8 bits and less are written with
// 8 bits and a 256-entry colour table, 15 and 16 bits as 16 (5-5-5), 24 as
// 24, anything else as 32; a depth above 8 has no colour table.
//
// The window system draws the frame and caption of a Qt window, so the
// picture is the window's own area without them.
#pragma once

#include <QImage>

#include <cstdint>
#include <cstdio>
#include <vector>

class QWidget;

namespace vexa::platform {
class SafeFileWriter;
}

namespace vexa::ui {

class CCapture {
public:
    static constexpr uint32_t BI_RGB = 0;
    static constexpr size_t kFileHeaderBytes = 14;
    static constexpr size_t kInfoHeaderBytes = 40;

    virtual ~CCapture() = default;

    // The window's picture: without a file to the clipboard, else as a BMP
    // into the file, which the caller then commits.
    void Capture(QWidget* window, platform::SafeFileWriter* file);
    // The DIB block of the picture at that depth (8, 16, 24 or 32); empty
    // for an empty picture.
    static std::vector<uint8_t> BitmapToDIB(const QImage& image, int bitsPerPixel);
    // The file header and the DIB block; 1 when written, 0 without a file.
    static int WriteBMP(FILE* file, const std::vector<uint8_t>& dib);
    // The depth a screen of `depth` bits is written with (see above).
    static int FileDepth(int screenDepth);
};

} // namespace vexa::ui
