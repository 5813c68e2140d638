// The program's pictures, drawn in code: the application icon (resource
// 128), the splash banner (bitmap 208) and the processor family badges of
// the logo table (processor_logos.h). Our own plain lettering on simple
// shapes; no vendor artwork. Transparent pictures have a uniform magenta
// background, so that their top-left pixel names the transparent colour.
#pragma once

#include <QIcon>
#include <QImage>

namespace vexa::ui {

constexpr int kAppIconResource = 128;
constexpr int kSplashBitmap = 208;

// The picture with that bitmap id; a null image for an id the program does
// not have.
QImage LoadBitmapResource(int bitmap);
// The application icon at 16 x 16 and 32 x 32.
QIcon LoadAppIcon();
QImage DrawAppIcon(int size);

} // namespace vexa::ui
