// The settings of a conversion: the transformation of each axis, the layer,
// and the pattern table of the apertures. They hold the built-in values from
// the start; the configuration file overwrites them.
#ifndef LUMARIND_DIZE274_SETTINGS_H
#define LUMARIND_DIZE274_SETTINGS_H

#include <cstdint>

namespace Dize274 {

/// The built-in transformation, the same on both axes: 25400 units (of a
/// micrometre) to 1000 (of a thousandth of an inch), the origin at 10000.
inline constexpr std::int32_t kDefaultMult = 1000;
inline constexpr std::int32_t kDefaultDiv = 25400;
inline constexpr std::int32_t kDefaultOffs = 10000;
inline constexpr std::int32_t kDefaultLayer = 10;

inline constinit std::int32_t XMult = kDefaultMult;
inline constinit std::int32_t XDiv = kDefaultDiv;
inline constinit std::int32_t XOffs = kDefaultOffs;
inline constinit std::int32_t YMult = kDefaultMult;
inline constinit std::int32_t YDiv = kDefaultDiv;
inline constinit std::int32_t YOffs = kDefaultOffs;
inline constinit std::int32_t Layer = kDefaultLayer;

/// Apertures are D10 to D9999.
inline constexpr int kFirstAperture = 10;
inline constexpr int kLastAperture = 9999;
/// The largest width code, pad-pattern code and layer; -1 rejects an aperture.
inline constexpr int kMaxWidth = 15;
inline constexpr int kMaxPattern = 63;
inline constexpr int kMaxLayer = 15;

/// Indexed by D code; entries below kFirstAperture are unused.
inline constinit std::int32_t LineWidth[kLastAperture + 1] = {};
inline constinit std::int32_t PadPattern[kLastAperture + 1] = {};

/// The fill entry, D code 0: regions are filled with lines of width code
/// FillWidth (-1: no entry, regions are written as their outlines), which
/// are FillSize layout units wide.
inline constexpr std::int32_t kFillEntry = 0;
inline constexpr std::int32_t kMaxFillSize = 100000;
inline constinit std::int32_t FillWidth = -1;
inline constinit std::int32_t FillSize = 0;

/// D10 to D25 draw lines with width codes 0 to 15, D10 to D73 flash pads with
/// pattern codes 0 to 63; every other aperture is rejected. No fill entry.
void InitPatternTable();
/// The PCB coordinates of a Gerber point; a result beyond 32 bits ends the run.
std::int32_t TransformX(std::int32_t x);
std::int32_t TransformY(std::int32_t y);
/// What TransformX and TransformY compute, unchecked: (v - o) * m / q rounded
/// to nearest with halves to even, exact for every 32-bit v, o, m and every
/// q >= 1. The tests sweep its extremes.
std::int64_t ScaleCoordinate(std::int32_t v, std::int32_t o, std::int32_t m, std::int32_t q);

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_SETTINGS_H
