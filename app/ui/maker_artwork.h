// The maker's pictures, drawn in code like the rest of the artwork: the
// maker's logo on the about page (bitmap 209, 108 x 56), the phone of the
// Android page's link (275, 56 x 66), the update dialog's picture (261,
// 88 x 67) and the validation dialog's seal (216, 88 x 67). Each has the uniform magenta background that marks it
// transparent.
#pragma once

#include <QImage>

namespace vexa::ui {

constexpr int kMakerLogoBitmap = 209;
constexpr int kAndroidBitmap = 275;
constexpr int kUpdateBitmap = 261;
constexpr int kValidationBitmap = 216;  // the validation dialog's seal, 88 x 67

// The picture with that id; a null image for any other id.
QImage DrawMakerPicture(int bitmap);

} // namespace vexa::ui
