// The graphics page's vendor logos: which picture (by bitmap id, with its
// size) stands for a GPU family code (vendor in the top byte), and whether
// it is drawn through its mask. Our own lettering on plain shapes; no
// vendor artwork.
#pragma once

#include <QImage>

#include <cstdint>

namespace vexa::ui {

struct GraphicsLogo {
    int bitmap;
    int width;
    int height;
    bool transparent;
    const char* vendor;  // the lettering
};

// The logo of a family code; null for a vendor without one.
const GraphicsLogo* SelectGraphicsLogo(uint32_t familyCode);
// The picture with that bitmap id; a null image when no logo has it.
QImage DrawGraphicsLogo(int bitmap);

} // namespace vexa::ui
