#include "Dize274/GerberParameters.h"

#include <cstdlib>

#include "Dize274/Dize274Internal.h"

namespace Dize274 {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Takes the letter Letter at the front of Text, if it is there.
bool TakeLetter(std::string_view& Text, char Letter) {
    if (Text.empty() || Text.front() != Letter) {
        return false;
    }
    Text.remove_prefix(1);
    return true;
}

// Takes a letter and the two digits after it, the integer and decimal digits
// of one axis.
bool TakeAxis(std::string_view& Text, char Letter, std::uint8_t& Integer, std::uint8_t& Decimals) {
    if (Text.size() < 3 || Text[0] != Letter || !IsDigit(Text[1]) || !IsDigit(Text[2])) {
        return false;
    }
    Integer = static_cast<std::uint8_t>(Text[1] - '0');
    Decimals = static_cast<std::uint8_t>(Text[2] - '0');
    Text.remove_prefix(3);
    return true;
}

}  // namespace

bool ReadFormat(std::string_view Text, CoordinateFormat& Format) {
    CoordinateFormat f{};
    if (!TakeLetter(Text, 'F') || !TakeLetter(Text, 'S')) {
        return false;
    }
    f.OmitsTrailingZeros = TakeLetter(Text, 'T');
    if (!f.OmitsTrailingZeros && !TakeLetter(Text, 'L')) {
        (void)TakeLetter(Text, 'D');
    }
    f.Incremental = TakeLetter(Text, 'I');
    if (!f.Incremental && !TakeLetter(Text, 'A')) {
        return false;
    }
    // Sequence number, G, D and M code widths: nothing the reader needs.
    while (!Text.empty() &&
           (Text[0] == 'N' || Text[0] == 'G' || Text[0] == 'D' || Text[0] == 'M')) {
        std::size_t i = 1;
        while (i < Text.size() && IsDigit(Text[i])) {
            ++i;
        }
        if (i == 1) {
            return false;
        }
        Text.remove_prefix(i);
    }
    if (!TakeAxis(Text, 'X', f.XInteger, f.XDecimals) ||
        !TakeAxis(Text, 'Y', f.YInteger, f.YDecimals) || !Text.empty()) {
        return false;
    }
    Format = f;
    return true;
}

std::int64_t RestoreTrailingZeros(std::int64_t Value, unsigned Digits, unsigned Width) {
    // Stops once beyond 32 bits, long before 64 bits could overflow.
    for (; Digits < Width && std::llabs(Value) <= kFullMax; ++Digits) {
        Value *= 10;
    }
    return Value;
}

}  // namespace Dize274
