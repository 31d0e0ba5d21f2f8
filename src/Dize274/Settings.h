// The settings of a conversion: the transformation of each axis, the layer,
// and the pattern table of the apertures. They hold the built-in values from
// the start; the configuration file overwrites them.
#ifndef LUMARIND_DIZE274_SETTINGS_H
#define LUMARIND_DIZE274_SETTINGS_H

#include <cstdint>
#include <string_view>

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

/// D10 to D25 draw lines with width codes 0 to 15, D10 to D73 flash pads with
/// pattern codes 0 to 63; every other aperture is rejected.
void InitPatternTable();
/// The PCB coordinates of a Gerber point; a result beyond 32 bits ends the run
/// with kOutOfRangeAfterTransform.
std::int32_t TransformX(std::int32_t x);
std::int32_t TransformY(std::int32_t y);
inline constexpr std::string_view kOutOfRangeAfterTransform =
    "Coordinate out of range after transformation.";

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_SETTINGS_H
