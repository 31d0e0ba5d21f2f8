// The settings of a conversion: the transformation of each axis, the layer,
// and the pattern table of the apertures. They hold the built-in values from
// the start; the configuration file overwrites them.
#ifndef LUMARIND_DIZE274_SETTINGS_H
#define LUMARIND_DIZE274_SETTINGS_H

#include <cstdint>
#include <string_view>

#include "Dize274/Dize274.h"

namespace Dize274 {

// The built-in values and the ranges: Dize274.h.
inline constinit std::int32_t XMult = kDefaultMult;
inline constinit std::int32_t XDiv = kDefaultDiv;
inline constinit std::int32_t XOffs = kDefaultOffs;
inline constinit std::int32_t YMult = kDefaultMult;
inline constinit std::int32_t YDiv = kDefaultDiv;
inline constinit std::int32_t YOffs = kDefaultOffs;
inline constinit std::int32_t Layer = kDefaultLayer;

/// Indexed by D code; entries below kFirstAperture are unused.
inline constinit std::int32_t LineWidth[kLastAperture + 1] = {};
inline constinit std::int32_t PadPattern[kLastAperture + 1] = {};

/// The fill entry's: regions are filled with lines of width code FillWidth
/// (-1: no entry, regions are written as their outlines), which are
/// FillSize layout units wide.
inline constinit std::int32_t FillWidth = -1;
inline constinit std::int32_t FillSize = 0;

/// D10 to D25 draw lines with width codes 0 to 15, D10 to D73 flash pads with
/// pattern codes 0 to 63; every other aperture is rejected. No fill entry.
void InitPatternTable();
/// The PCB coordinates of a Gerber point; a result beyond 32 bits ends the run
/// with kOutOfRangeAfterTransform.
std::int32_t TransformX(std::int32_t x);
std::int32_t TransformY(std::int32_t y);
inline constexpr std::string_view kOutOfRangeAfterTransform =
    "Coordinate out of range after transformation.";

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_SETTINGS_H
