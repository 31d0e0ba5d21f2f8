#include <algorithm>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <string>

#include "Gerber/Gerber.h"

namespace Gerber {

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

// A decimal number as a parameter writes it: sign, digits, point, digits.
struct Decimal {
    bool Negative;
    std::string_view Integer;   // without leading zeros
    std::string_view Fraction;  // without trailing zeros
};

std::string_view TakeDigits(std::string_view& Text) {
    std::size_t i = 0;
    while (i < Text.size() && IsDigit(Text[i])) {
        ++i;
    }
    std::string_view Digits = Text.substr(0, i);
    Text.remove_prefix(i);
    return Digits;
}

bool TakeDecimal(std::string_view& Text, Decimal& d) {
    d.Negative = TakeLetter(Text, '-');
    if (!d.Negative) {
        (void)TakeLetter(Text, '+');
    }
    d.Integer = TakeDigits(Text);
    d.Fraction = {};
    if (TakeLetter(Text, '.')) {
        d.Fraction = TakeDigits(Text);
    } else if (d.Integer.empty()) {
        return false;
    }
    if (d.Integer.empty() && d.Fraction.empty()) {
        return false;
    }
    d.Integer.remove_prefix(std::min(d.Integer.find_first_not_of('0'), d.Integer.size()));
    d.Fraction = d.Fraction.substr(0, d.Fraction.find_last_not_of('0') + 1);
    return true;
}

bool IsWhole(const Decimal& d, std::string_view Whole) {
    return d.Fraction.empty() && d.Integer == Whole && (!d.Negative || Whole.empty());
}

// "A" and "B" values, each optional; both are Neutral when absent. False when
// Text (after the two letters) is not of that form.
bool ReadPair(std::string_view Text, std::string_view Neutral, bool& Identity) {
    Identity = true;
    for (char Letter : {'A', 'B'}) {
        Decimal d{};
        if (TakeLetter(Text, Letter)) {
            if (!TakeDecimal(Text, d)) {
                return false;
            }
            Identity = Identity && IsWhole(d, Neutral);
        }
    }
    return Text.empty();
}

// A count of SR: at most nine digits, so that it is never beyond 32 bits.
bool TakeCount(std::string_view& Text, char Letter, std::int64_t& Count) {
    if (!TakeLetter(Text, Letter)) {
        return true;
    }
    std::string_view Digits = TakeDigits(Text);
    if (Digits.empty() || Digits.size() > 9) {
        return false;
    }
    Count = std::stoll(std::string(Digits));
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
        Text.remove_prefix(1);
        if (TakeDigits(Text).empty()) {
            return false;
        }
    }
    if (!TakeAxis(Text, 'X', f.XInteger, f.XDecimals) ||
        !TakeAxis(Text, 'Y', f.YInteger, f.YDecimals) || !Text.empty()) {
        return false;
    }
    Format = f;
    return true;
}

Unit ReadUnit(std::string_view Text) {
    if (Text == "MOIN") {
        return Unit::Inch;
    }
    return Text == "MOMM" ? Unit::Millimetre : Unit::Unknown;
}

bool UnitsPair(Unit Of, unsigned Decimals, std::int32_t& Mult, std::int32_t& Div) {
    if (Of == Unit::Unknown || Decimals > 9) {
        return false;
    }
    // One unit is 10^(3 - d) thousandths of an inch, or 10^(4 - d) / 254.
    std::int64_t m = 1;
    std::int64_t d = Of == Unit::Inch ? 1 : 254;
    int Power = (Of == Unit::Inch ? 3 : 4) - static_cast<int>(Decimals);
    for (; Power > 0; --Power) {
        m *= 10;
    }
    for (; Power < 0; ++Power) {
        d *= 10;
    }
    std::int64_t Common = std::gcd(m, d);
    Mult = static_cast<std::int32_t>(m / Common);
    Div = static_cast<std::int32_t>(d / Common);
    return true;
}

bool UnitsAgree(std::int32_t Mult, std::int32_t Div, Unit Of, unsigned Decimals) {
    std::int32_t m = 0;
    std::int32_t d = 0;
    if (!UnitsPair(Of, Decimals, m, d)) {
        return false;
    }
    std::int64_t Magnitude = Mult < 0 ? -std::int64_t{Mult} : std::int64_t{Mult};
    return Magnitude * d == std::int64_t{Div} * m;
}

std::string UnitsAdvice(Unit Of, unsigned Decimals) {
    std::int64_t Mult = 0;
    std::int64_t Div = 0;
    {
        std::int32_t m = 0;
        std::int32_t d = 0;
        (void)UnitsPair(Of, Decimals, m, d);
        Mult = m;
        Div = d;
    }
    // A divisor of 25400 (or of it times ten's powers) reads as the inch's 25.4 mm.
    if (Of == Unit::Millimetre) {
        std::int64_t Scale = std::lcm(Div, std::int64_t{25400}) / Div;
        Mult *= Scale;
        Div *= Scale;
    }
    std::string Size = Decimals == 0 ? "1" : "0." + std::string(Decimals - 1, '0') + "1";
    return "Coordinates are in units of " + Size + (Of == Unit::Inch ? " in" : " mm") +
           ": use multiplier " + std::to_string(Mult) + " and divisor " + std::to_string(Div) +
           " for thousandths of an inch.";
}

bool ReadStepRepeat(std::string_view Text, std::int64_t& XCount, std::int64_t& YCount) {
    std::int64_t x = 1;
    std::int64_t y = 1;
    if (!TakeLetter(Text, 'S') || !TakeLetter(Text, 'R') || !TakeCount(Text, 'X', x) ||
        !TakeCount(Text, 'Y', y)) {
        return false;
    }
    for (char Letter : {'I', 'J'}) {
        Decimal Step{};
        if (TakeLetter(Text, Letter) && !TakeDecimal(Text, Step)) {
            return false;
        }
    }
    if (!Text.empty()) {
        return false;
    }
    XCount = x;
    YCount = y;
    return true;
}

ImageRequest ReadImageParameter(std::string_view Text) {
    if (Text.size() < 2) {
        return ImageRequest::Malformed;
    }
    std::string_view Code = Text.substr(0, 2);
    std::string_view Rest = Text.substr(2);
    bool Identity = false;
    if (Code == "OF" || Code == "MI") {
        if (!ReadPair(Rest, "", Identity)) {
            return ImageRequest::Malformed;
        }
    } else if (Code == "SF") {
        if (!ReadPair(Rest, "1", Identity)) {
            return ImageRequest::Malformed;
        }
    } else if (Code == "IR") {
        Decimal Angle{};
        if (!TakeDecimal(Rest, Angle) || !Rest.empty()) {
            return ImageRequest::Malformed;
        }
        Identity = IsWhole(Angle, "");
    } else if (Code == "AS") {
        if (Rest != "AXBY" && Rest != "AYBX") {
            return ImageRequest::Malformed;
        }
        Identity = Rest == "AXBY";
    } else {
        return ImageRequest::Malformed;
    }
    return Identity ? ImageRequest::Identity : ImageRequest::Change;
}

std::int64_t RestoreTrailingZeros(std::int64_t Value, unsigned Digits, unsigned Width) {
    // Stops once beyond 32 bits, long before 64 bits could overflow.
    for (; Digits < Width && std::llabs(Value) <= std::numeric_limits<std::int32_t>::max();
         ++Digits) {
        Value *= 10;
    }
    return Value;
}

}  // namespace Gerber
