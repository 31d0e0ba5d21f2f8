#include "Dize274/DecimalText.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Dize274 {

namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// How many decimal digits u has: floor(log10) from the bit width, corrected
// by one comparison; u | 1 has the digits of u and makes 0 one digit long.
[[gnu::always_inline]] inline std::size_t DigitCount(std::uint32_t u) {
    static constexpr std::uint32_t kPowers[] = {1,      10,      100,      1000,      10000,
                                                100000, 1000000, 10000000, 100000000, 1000000000};
    auto Guess = static_cast<std::size_t>((std::bit_width(u | 1) * 1233) >> 12);
    return Guess + 1 - ((u | 1) < kPowers[Guess] ? 1 : 0);
}

// The Digits digits of u, two at a time from the right.
void PutDigitsByPairs(char* Out, std::uint32_t u, std::size_t Digits) {
    char* Last = Out + Digits;
    while (u >= 100) {
        Last -= 2;
        std::memcpy(Last, kDigitPairs + std::size_t{2} * (u % 100), 2);
        u /= 100;
    }
    if (u >= 10) {
        std::memcpy(Last - 2, kDigitPairs + std::size_t{2} * u, 2);
    } else {
        Last[-1] = static_cast<char>('0' + u);
    }
}

// The digits of u below 10^8, one per byte with leading zero bytes, the first
// in the lowest: split into halves of 4, quarters of 2 and single digits
// (x * 10486 >> 20 is x / 100 for x < 43699, x * 103 >> 10 is x / 10 for
// x < 179).
[[gnu::always_inline]] inline std::uint64_t EightDigits(std::uint32_t u) {
    std::uint64_t x = (u / 10000) | (std::uint64_t{u % 10000} << 32);
    std::uint64_t Hundreds = ((x * 10486) >> 20) & 0x0000007F0000007Fu;
    x = Hundreds | ((x - 100 * Hundreds) << 16);
    std::uint64_t Tens = ((x * 103) >> 10) & 0x000F000F000F000Fu;
    return Tens | ((x - 10 * Tens) << 8);
}

// Writes the digits made by EightDigits (or PointDigits) and a blank at Out;
// returns the end. Writes 8 bytes.
[[gnu::always_inline]] inline char* PutEightDigits(char* Out, std::uint64_t x) {
    // The leading zero bytes end at the lowest set bit; the units byte is
    // marked, so that 0 keeps its one digit.
    int Shift = std::countr_zero(x | std::uint64_t{1} << 56) & 56;
    x = (x + 0x3030303030303030u) >> Shift;
    std::memcpy(Out, &x, 8);
    std::size_t Digits = 8 - static_cast<std::size_t>(Shift / 8);
    Out[Digits] = ' ';
    return Out + Digits + 1;
}

// PutDecimal without the short way for small numbers: coordinates are seldom
// small.
[[gnu::always_inline]] inline char* PutAnyNumber(char* Out, std::int32_t N) {
    auto u = static_cast<std::uint32_t>(N);
    if (N < 0) {
        *Out++ = '-';
        u = 0u - u;
    }
    if (std::endian::native == std::endian::little && u < 100000000) {
        return PutEightDigits(Out, EightDigits(u));
    }
    std::size_t Digits = DigitCount(u);
    PutDigitsByPairs(Out, u, Digits);
    Out[Digits] = ' ';
    return Out + Digits + 1;
}

#if defined(__SSE2__)
// EightDigits of x and y at once, x's in the low half: the same splits, in the
// lanes of one register (x * 5243 >> 19 is x / 100 for x < 10^4, x * 6554 >>
// 16 is x / 10 for x < 100).
[[gnu::always_inline]] inline __m128i PointDigits(std::uint32_t x, std::uint32_t y) {
    __m128i v = _mm_set_epi64x(y, x);
    __m128i High = _mm_srli_epi64(_mm_mul_epu32(v, _mm_set1_epi32(-776530087)), 45);  // 0xD1B71759
    __m128i Low = _mm_sub_epi64(v, _mm_mul_epu32(High, _mm_set1_epi32(10000)));
    v = _mm_or_si128(High, _mm_slli_epi64(Low, 32));
    __m128i Hundreds = _mm_srli_epi16(_mm_mulhi_epu16(v, _mm_set1_epi16(5243)), 3);
    v = _mm_or_si128(
        Hundreds,
        _mm_slli_epi32(_mm_sub_epi16(v, _mm_mullo_epi16(Hundreds, _mm_set1_epi16(100))), 16));
    __m128i Tens = _mm_mulhi_epu16(v, _mm_set1_epi16(6554));
    return _mm_or_si128(
        Tens, _mm_slli_epi16(_mm_sub_epi16(v, _mm_mullo_epi16(Tens, _mm_set1_epi16(10))), 8));
}
#endif

}  // namespace

// Both at once when neither has a sign or more than 8 digits, as nearly all
// coordinates.
char* PutDecimalPair(char* Out, std::int32_t x, std::int32_t y) {
#if defined(__SSE2__)
    auto ux = static_cast<std::uint32_t>(x);
    auto uy = static_cast<std::uint32_t>(y);
    if (ux < 100000000 && uy < 100000000) {
        __m128i Digits = PointDigits(ux, uy);
        Out = PutEightDigits(Out, static_cast<std::uint64_t>(_mm_cvtsi128_si64(Digits)));
        return PutEightDigits(
            Out, static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(Digits, Digits))));
    }
#endif
    return PutAnyNumber(PutAnyNumber(Out, x), y);
}

// The codes and the layer have one or two digits.
char* PutDecimal(char* Out, std::int32_t N) {
    auto u = static_cast<std::uint32_t>(N);
    if (u < 10) {
        Out[0] = static_cast<char>('0' + u);
        Out[1] = ' ';
        return Out + 2;
    }
    if (u < 100) {
        std::memcpy(Out, kDigitPairs + std::size_t{2} * u, 2);
        Out[2] = ' ';
        return Out + 3;
    }
    return PutAnyNumber(Out, N);
}

}  // namespace Dize274
