// The processor page's logo table: which picture (by bitmap id) stands for
// a processor class code, and how it is drawn. Every code not listed gives
// the blank picture, a uniform grey that draws nothing.
#pragma once

#include <cstdint>

namespace vexa::ui {

enum class LogoForm {
    Opaque,             // 65 x 81, copied
    Transparent,        // 65 x 81, drawn through its mask
    WideTransparent,    // 93 x 70, drawn through its mask
};

struct ProcessorLogo {
    int bitmap;
    LogoForm form;
    // The family the picture names, in two short lines (our own lettering,
    // no vendor artwork); both empty for the blank picture.
    const char* vendor;
    const char* line;
};

constexpr int kBlankLogoBitmap = 194;

const ProcessorLogo& SelectProcessorLogo(uint32_t classCode);
// The picture with that bitmap id; null when no logo has it.
const ProcessorLogo* FindProcessorLogo(int bitmap);
// The size the form draws at.
int LogoWidth(LogoForm form);
int LogoHeight(LogoForm form);

} // namespace vexa::ui
