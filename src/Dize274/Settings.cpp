#include <cstdint>
#include <limits>

#include "Dize274/Dize274Internal.h"

namespace Dize274 {

void InitPatternTable() {
    for (int d = kFirstAperture; d <= kLastAperture; ++d) {
        int k = d - kFirstAperture;
        LineWidth[d] = k <= kMaxWidth ? k : -1;
        PadPattern[d] = k <= kMaxPattern ? k : -1;
    }
}

namespace {

__extension__ using Wide = unsigned __int128;

// The divisor of each axis (and of the free-standing ScaleCoordinate) with
// its reciprocal M = floor((2^64 - 1) / q). The divisors change only while
// the configuration is read, so the division that makes M is rare.
enum : std::uint8_t { kAxisX, kAxisY, kAnyAxis, kAxes };
std::int64_t Divisor[kAxes] = {};
std::uint64_t Reciprocal[kAxes] = {};

// floor(n / q) and its remainder for q >= 1, without a division: with M as
// above, (2^64 - q) / q <= M <= 2^64 / q, so for n < 2^64 the product
// n * M / 2^64 lies in (n / q - 1, n / q] and its floor F0 is floor(n / q) or
// one less. Then n - F0 * q is in [0, 2q) and one step corrects both.
std::uint64_t Divide(std::uint8_t Axis, std::uint64_t n, std::int64_t q, std::uint64_t& Rest) {
    if (q != Divisor[Axis]) {
        Divisor[Axis] = q;
        Reciprocal[Axis] = ~std::uint64_t{0} / static_cast<std::uint64_t>(q);
    }
    auto Quotient = static_cast<std::uint64_t>((Wide{n} * Reciprocal[Axis]) >> 64);
    Rest = n - Quotient * static_cast<std::uint64_t>(q);
    std::uint64_t Over = Rest >= static_cast<std::uint64_t>(q) ? 1 : 0;
    Rest -= Over * static_cast<std::uint64_t>(q);
    return Quotient + Over;
}

std::int64_t Scale(std::uint8_t Axis, std::int32_t v, std::int32_t o, std::int32_t m,
                   std::int32_t q) {
    // |v - o| < 2^32 and |m| <= 2^31, so the product fits in 64 bits exactly.
    std::int64_t p = (std::int64_t{v} - o) * m;
    // The magnitude is rounded, halves to the even neighbour, then signed:
    // the same as rounding the signed quotient. No branches: which way a
    // coordinate rounds is as good as random.
    std::uint64_t Sign = p < 0 ? ~std::uint64_t{0} : 0;
    std::uint64_t n = (static_cast<std::uint64_t>(p) ^ Sign) - Sign;
    std::uint64_t Rest = 0;
    std::uint64_t Magnitude = Divide(Axis, n, q, Rest);
    // 2 * Rest, plus 1 for an odd quotient, exceeds q just when 2 * Rest
    // does, or equals it with the quotient odd.
    Magnitude += 2 * Rest + Magnitude % 2 > static_cast<std::uint64_t>(q) ? 1 : 0;
    return static_cast<std::int64_t>((Magnitude ^ Sign) - Sign);
}

}  // namespace

std::int64_t ScaleCoordinate(std::int32_t v, std::int32_t o, std::int32_t m, std::int32_t q) {
    return Scale(kAnyAxis, v, o, m, q);
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
    return Checked(Scale(kAxisX, x, XOffs, XMult, XDiv));
}

std::int32_t TransformY(std::int32_t y) {
    return Checked(Scale(kAxisY, y, YOffs, YMult, YDiv));
}

}  // namespace Dize274
