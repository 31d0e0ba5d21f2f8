#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Dize274/DecimalText.h"

namespace {

constexpr char kUntouched = '\x7f';

// Every value within 65535 of 0, of each power of ten and of both limits.
std::vector<std::int32_t> Values() {
    std::vector<std::int64_t> Centres = {0, std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::int32_t>::max()};
    for (std::int64_t p = 10; p <= 1000000000; p *= 10) {
        Centres.push_back(p);
        Centres.push_back(-p);
    }
    std::vector<std::int32_t> Out;
    for (std::int64_t c : Centres) {
        for (std::int64_t v = c - 65535; v <= c + 65535; ++v) {
            if (v >= std::numeric_limits<std::int32_t>::min() &&
                v <= std::numeric_limits<std::int32_t>::max()) {
                Out.push_back(static_cast<std::int32_t>(v));
            }
        }
    }
    return Out;
}

std::string Expected(std::int32_t v) {
    char Text[16];
    return std::string(Text, std::to_chars(Text, Text + sizeof Text, v).ptr) + " ";
}

// The text written; "!" when a byte outside it and its promised overrun changed.
template <typename Put>
std::string Written(Put Write, std::size_t Longest) {
    char Buffer[64];
    std::memset(Buffer, kUntouched, sizeof Buffer);
    char* End = Write(Buffer + 1);
    auto Size = static_cast<std::size_t>(End - (Buffer + 1));
    bool Spilled = Buffer[0] != kUntouched || Size > Longest;
    for (std::size_t i = 1 + Size + Dize274::kDecimalOverrun; i < sizeof Buffer; ++i) {
        Spilled = Spilled || Buffer[i] != kUntouched;
    }
    return Spilled ? "!" : std::string(Buffer + 1, Size);
}

TEST(DecimalText, MatchesToCharsAroundZeroPowersOfTenAndTheLimits) {
    std::vector<std::int32_t> Vs = Values();
    std::size_t Bad = 0;
    for (std::size_t i = 0; i < Vs.size() && Bad < 10; ++i) {
        std::int32_t v = Vs[i];
        std::int32_t w = Vs[(i * 7919) % Vs.size()];  // a partner of any width and sign
        std::string One =
            Written([&](char* Out) { return Dize274::PutDecimal(Out, v); }, Dize274::kMaxDecimal);
        std::string Pair = Written([&](char* Out) { return Dize274::PutDecimalPair(Out, v, w); },
                                   2 * Dize274::kMaxDecimal);
        if (One != Expected(v) || Pair != Expected(v) + Expected(w)) {
            ADD_FAILURE() << v << " and " << w << " gave \"" << One << "\" and \"" << Pair << "\"";
            ++Bad;
        }
    }
}

}  // namespace
