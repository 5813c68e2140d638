// The processor page's value texts that follow rules of their own: cache
// sizes and associativity, the multiplier with its range, the process
// technology, the instruction sets and the logo link's address.
#pragma once

#include <QString>

#include <cstdint>

class CInfoParser;

namespace vexa::ui {

// "%d x %d KBytes" (count above 1) or "%d KBytes"; with `megabytes` and a
// size that is a whole number of MB, the same in MBytes.
QString CacheSizeText(int count, int sizeKB, bool megabytes = false);
// From a geometry query's answer and ways: "direct", "fully", "%d-way", or
// empty (unknown ways, or a query that answered nothing).
QString AssociativityText(int geometryAnswer, int ways);
// "x 12.0 ( 8 - 12 )", "x 9.5 ( 6 - 9.5 )", "x 12.25 ( 8.00 - 12.00 )"; the
// range only when both ends are above 0; empty for a multiplier not above 0.
QString MultiplierText(float multiplier, float minimum, float maximum);
// A technology in micrometres (above 0): "65 nm" below 0.1 um, else
// "0.13 um".
QString TechnologyText(float technology);
// The extensions of processor P, beginning with one blank.
QString InstructionSetText(CInfoParser& queries, int P);
// The validation service's search for a brand string: each
// character's low byte as two lowercase hexadecimal digits.
QString LogoLinkURL(const QString& brandString);

} // namespace vexa::ui
