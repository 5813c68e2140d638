// The two user fonts of every dialog and the colour of value texts, made
// from the settings (vexa.ini): the text font for values, the label font
// for labels and group boxes. A size is the font's cell height in pixels
// (ascent plus descent), as a positive Win32 font height is; an empty face
// name means the application's default face.
#pragma once

#include <QColor>
#include <QFont>

#include "app/settings.h"

namespace vexa::ui {

struct UserFonts {
    QFont text;
    QFont label;
    QColor textColor;
};

UserFonts MakeUserFonts(const VexaSettings& settings);
// A font of that face (empty: the default face) whose cell height is
// `height` pixels, normal weight.
QFont FontOfCellHeight(const wchar_t* face, int height);
// A colour of the form 0x00BBGGRR.
QColor ColorFromRef(COLORREF color);

} // namespace vexa::ui
