#include "Dize274/Settings.h"

#include <cstdint>
#include <limits>

#include "Dize274/Console.h"
#include "Dize274/Scale.h"

namespace Dize274 {

void InitPatternTable() {
    for (int d = kFirstAperture; d <= kLastAperture; ++d) {
        int k = d - kFirstAperture;
        LineWidth[d] = k <= kMaxWidth ? k : -1;
        PadPattern[d] = k <= kMaxPattern ? k : -1;
    }
    FillWidth = -1;
    FillSize = 0;
}

namespace {

__extension__ using Wide = unsigned __int128;

// A divisor q >= 1 with its reciprocal M = floor((2^64 - 1) / q), so that a
// division is a multiplication.
struct Divisor {
    std::uint64_t q;
    std::uint64_t Reciprocal;
};

Divisor MakeDivisor(std::int32_t q) {
    auto u = static_cast<std::uint64_t>(q);
    return {u, ~std::uint64_t{0} / u};
}

// Each axis keeps its divisor's reciprocal until the divisor changes, which
// it does only while the configuration is read.
Divisor XDivisor{0, 0};
Divisor YDivisor{0, 0};

const Divisor& Cached(Divisor& Slot, std::int32_t q) {
    if (Slot.q != static_cast<std::uint64_t>(q)) {
        Slot = MakeDivisor(q);
    }
    return Slot;
}

// floor(n / q) and its remainder, without a division: with M as above,
// (2^64 - q) / q <= M <= 2^64 / q, so for n < 2^64 the product n * M / 2^64
// lies in (n / q - 1, n / q] and its floor F0 is floor(n / q) or one less.
// Then n - F0 * q is in [0, 2q) and one step corrects both.
std::uint64_t Divide(std::uint64_t n, const Divisor& d, std::uint64_t& Rest) {
    auto Quotient = static_cast<std::uint64_t>((Wide{n} * d.Reciprocal) >> 64);
    Rest = n - Quotient * d.q;
    std::uint64_t Over = Rest >= d.q ? 1 : 0;
    Rest -= Over * d.q;
    return Quotient + Over;
}

std::int64_t Scale(std::int32_t v, std::int32_t o, std::int32_t m, const Divisor& d) {
    // |v - o| < 2^32 and |m| <= 2^31, so the product fits in 64 bits exactly.
    std::int64_t p = (std::int64_t{v} - o) * m;
    // The magnitude is rounded, halves to the even neighbour, then signed:
    // the same as rounding the signed quotient. No branches: which way a
    // coordinate rounds is as good as random.
    std::uint64_t Sign = p < 0 ? ~std::uint64_t{0} : 0;
    std::uint64_t n = (static_cast<std::uint64_t>(p) ^ Sign) - Sign;
    std::uint64_t Rest = 0;
    std::uint64_t Magnitude = Divide(n, d, Rest);
    // 2 * Rest, plus 1 for an odd quotient, exceeds q just when 2 * Rest
    // does, or equals it with the quotient odd.
    Magnitude += 2 * Rest + Magnitude % 2 > d.q ? 1 : 0;
    return static_cast<std::int64_t>((Magnitude ^ Sign) - Sign);
}

}  // namespace

std::int64_t ScaleCoordinate(std::int32_t v, std::int32_t o, std::int32_t m, std::int32_t q) {
    return Scale(v, o, m, MakeDivisor(q));
}

namespace {

std::int32_t InCoordinateRange(std::int64_t v) {
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max()) {
        Error(kOutOfRangeAfterTransform);
    }
    return static_cast<std::int32_t>(v);
}

}  // namespace

std::int32_t TransformX(std::int32_t x) {
    return InCoordinateRange(Scale(x, XOffs, XMult, Cached(XDivisor, XDiv)));
}

std::int32_t TransformY(std::int32_t y) {
    return InCoordinateRange(Scale(y, YOffs, YMult, Cached(YDivisor, YDiv)));
}

}  // namespace Dize274
