// The validation record's 96 fields, as texts read through the query layer
// in record order: processor, caches, chipset, memory and modules, clock
// checks, board, display adapters, drives, operating system, voltage,
// multiplier history, TDP, microcode, temperature, BIOS, graphics ids and
// the program version. A missing value gives an empty text.
#pragma once

#include <functional>

class CvexaApp;

namespace vexa::validation {

constexpr int kRecordFieldCount = 96;

// Calls `field` with each field's text (without its comma), in order. The
// two validation values of the application take the core clock read for
// the core clock field whenever it is positive.
void ForEachRecordField(CvexaApp& app, const std::function<void(const wchar_t*)>& field);

} // namespace vexa::validation
