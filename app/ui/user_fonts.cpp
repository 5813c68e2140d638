#include "app/ui/user_fonts.h"

#include <QApplication>
#include <QFontMetrics>

#include <algorithm>

#include "app/ui/dialog.h"

namespace vexa::ui {
namespace {

constexpr int kMinimumHeight = 4;
constexpr int kMaximumHeight = 200;  // a settings file can say anything

} // namespace

QFont FontOfCellHeight(const wchar_t* face, int height) {
    QFont font = QApplication::font();
    const QString family = FromWide(face);
    if (!family.isEmpty()) font.setFamily(family);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    height = std::clamp(height, kMinimumHeight, kMaximumHeight);
    // The pixel size sets the em; the cell is somewhat taller.
    font.setPixelSize(height);
    const int cell = QFontMetrics(font).height();
    if (cell > height) font.setPixelSize(std::max(1, height * height / cell));
    return font;
}

QColor ColorFromRef(COLORREF color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }

UserFonts MakeUserFonts(const VexaSettings& settings) {
    return UserFonts{FontOfCellHeight(settings.TextFontName, settings.TextFontSize),
                     FontOfCellHeight(settings.LabelFontName, settings.LabelFontSize),
                     ColorFromRef(settings.TextFontColor)};
}

} // namespace vexa::ui
