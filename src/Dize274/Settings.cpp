#include <cstdint>
#include <limits>

#include "Dize274/Dize274Internal.h"

namespace Dize274 {

void InitPatternTable() {
    for (int d = kFirstAperture; d <= kLastAperture; ++d) {
        int k = d - kFirstAperture;
        LineWidth[d] = k <= 15 ? k : -1;
        PadPattern[d] = k <= 63 ? k : -1;
    }
}

std::int64_t ScaleCoordinate(std::int32_t v, std::int32_t o, std::int32_t m, std::int32_t q) {
    // |v - o| < 2^32 and |m| <= 2^31, so the product fits in 64 bits exactly.
    std::int64_t p = (std::int64_t{v} - o) * m;
    std::int64_t Quotient = p / q;
    std::int64_t Rest = p % q;  // takes the sign of p
    std::int64_t TwiceRest = 2 * (Rest < 0 ? -Rest : Rest);
    if (TwiceRest > q || (TwiceRest == q && Quotient % 2 != 0)) {
        Quotient += p < 0 ? -1 : 1;
    }
    return Quotient;
}

namespace {

std::int32_t Checked(std::int64_t v) {
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max()) {
        Error("Coordinate out of range after transformation.");
    }
    return static_cast<std::int32_t>(v);
}

}  // namespace

std::int32_t TransformX(std::int32_t x) {
    return Checked(ScaleCoordinate(x, XOffs, XMult, XDiv));
}

std::int32_t TransformY(std::int32_t y) {
    return Checked(ScaleCoordinate(y, YOffs, YMult, YDiv));
}

}  // namespace Dize274
