// Pictures with a transparent colour: the colour of a picture's top-left
// pixel is transparent. CreateBitmapMask makes the picture's mask (set
// where the picture has that colour) and blacks those pixels out;
// DrawBitmapMasked then draws the picture with its transparent pixels
// showing what was there before.
#pragma once

#include <QImage>

class QPainter;

namespace vexa::ui {

// Replaces `mask` with the monochrome mask of `image` (its size; index 1
// where transparent) and turns the image's transparent pixels black. An
// empty image gives an empty mask.
void CreateBitmapMask(QImage& image, QImage& mask);
// Draws `image` at (x, y), at most width x height pixels of it, leaving the
// target as it was where `mask` is set.
void DrawBitmapMasked(const QImage& mask, QPainter& target, int x, int y, int width, int height,
                      const QImage& image);

} // namespace vexa::ui
