// The arithmetic of the transform, apart from the settings it is used with,
// for the tests that sweep its extremes.
#ifndef LUMARIND_DIZE274_SCALE_H
#define LUMARIND_DIZE274_SCALE_H

#include <cstdint>

namespace Dize274 {

/// What TransformX and TransformY compute, unchecked: (v - o) * m / q rounded
/// to nearest with halves to even, exact for every 32-bit v, o, m and every
/// q >= 1.
std::int64_t ScaleCoordinate(std::int32_t v, std::int32_t o, std::int32_t m, std::int32_t q);

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_SCALE_H
