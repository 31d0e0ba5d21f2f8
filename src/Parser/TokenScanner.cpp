#include <bit>
#include <cstring>

#include "Parser/LineSource.h"
#include "Parser/Parser.h"

namespace Parser {

std::int64_t NumValue = 0;
std::string TextValue;

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNamePart(char c) {
    return IsNameStart(c) || IsDigit(c);
}

// One more digit of a number's magnitude. Saturates instead of wrapping, so a
// number too long for 32 bits keeps its size and its sign, however many
// digits it has; leading zeros never count.
std::int64_t AddDigit(std::int64_t Magnitude, char Digit) {
    std::int64_t v = Magnitude * 10 + (Digit - '0');
    return v > kNumberLimit ? kNumberLimit : v;
}

// Keeps the first kMaxText characters: no caller needs more, and a name may be
// as long as the file.
void KeepText(char c) {
    if (TextValue.size() < kMaxText) {
        TextValue.push_back(c);
    }
}

// How many of the 8 bytes at p are leading decimal digits, and (when fewer
// than 8) their value: eight bytes tested and converted at once.
std::size_t LeadingDigits(const char* p, std::uint64_t& Value) {
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u;
    constexpr std::uint64_t kZeros = 0x3030303030303030u;
    std::uint64_t x = 0;
    std::memcpy(&x, p, 8);
    // A byte is a digit when its high half is 3 and stays 3 with 6 added. A
    // carry out of a byte comes only from a non-digit and only spoils the
    // bytes after it, which are not counted anyway.
    std::uint64_t NotDigit =
        ((x & kHigh) ^ kZeros) | (((x + 0x0606060606060606u) & kHigh) ^ kZeros);
    std::size_t n = NotDigit == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(NotDigit)) / 8;
    if (n == 0 || n == 8) {
        return n;
    }
    // The first character sits in the lowest byte: shifting the digits up
    // puts zeros in front of them, and pairs, quads and octets combine.
    std::uint64_t v = (x & 0x0F0F0F0F0F0F0F0Fu) << (8 * (8 - n));
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFu;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFu;
    Value = (v * 10000 + (v >> 32)) & 0xFFFFFFFFu;
    return n;
}

// Digits by the one, however many: numbers cut by the buffer's end, long
// ones, and those near the end of their line.
[[gnu::noinline]] std::uint8_t ScanDigits(bool Negative, std::string_view Rest) {
    bool Digits = false;
    std::int64_t Magnitude = 0;
    for (; !Rest.empty(); Rest = LineRest()) {
        std::size_t i = 0;
        while (i < Rest.size() && IsDigit(Rest[i])) {
            Magnitude = AddDigit(Magnitude, Rest[i]);
            ++i;
        }
        Advance(i);
        Digits = Digits || i > 0;
        if (i < Rest.size()) {
            break;
        }
    }
    if (!Digits) {
        ScanStatus = kOther;  // a lone sign, consumed
        return ScanStatus;
    }
    NumValue = Negative ? -Magnitude : Magnitude;
    return ScanStatus;
}

[[gnu::always_inline]] inline std::uint8_t ScanNumber(char First) {
    ScanStatus = kNumber;
    bool Negative = First == '-';
    if (!IsDigit(First)) {
        Advance();  // the sign
    }
    // Straight over the buffer.
    std::string_view Rest = LineRest();
    if constexpr (std::endian::native == std::endian::little) {
        // Most numbers end within the next 8 bytes, before the end of the
        // line's run in the buffer: no saturation is possible.
        std::uint64_t Value = 0;
        std::size_t n = LeadingDigits(Rest.data(), Value);
        if (n > 0 && n < 8 && n < Rest.size()) {
            Advance(n);
            auto Magnitude = static_cast<std::int64_t>(Value);
            NumValue = Negative ? -Magnitude : Magnitude;
            return ScanStatus;
        }
    }
    return ScanDigits(Negative, Rest);
}

std::uint8_t ScanName(char First) {
    ScanStatus = kName;
    TextValue.clear();
    KeepText(First);
    Advance();
    for (char c = LineChar(); IsNamePart(c); c = LineChar()) {
        KeepText(c);
        Advance();
    }
    return ScanStatus;
}

std::uint8_t ScanPercentText() {
    ScanStatus = kPercent;
    TextValue.clear();
    Advance();
    for (char c = LineChar(); c != '%'; c = LineChar()) {
        if (c == kCR) {
            ScanStatus = kOpenPercent;
            return ScanStatus;
        }
        KeepText(c);
        Advance();
    }
    Advance();
    return ScanStatus;
}

// A token start that is not a number at once: blanks and comments are passed
// over first. Out of line, so that numbers take the short way.
[[gnu::noinline]] std::uint8_t ScanAfterBlanks() {
    for (;;) {
        char c = PeekChar();
        CurChar = c;
        if (c == ' ' || c == '\t' || c == '}') {
            Advance();  // a stray closing brace is ignored like a blank
        } else if (c == kCR) {
            return ScanStatus;
        } else if (c == '{') {
            // A comment runs over line ends up to the next "}" or the end of input.
            do {
                Advance();
                c = PeekChar();
            } while (c != '}' && c != kCR);
        } else if (IsDigit(c) || c == '+' || c == '-') {
            return ScanNumber(c);
        } else if (IsNameStart(c)) {
            return ScanName(c);
        } else if (c == '%') {
            return ScanPercentText();
        } else {
            Advance();
            return ScanStatus;
        }
    }
}

}  // namespace

std::int64_t NumberValue(std::string_view Text) {
    std::size_t i = 0;
    bool Negative = false;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) {
        Negative = Text[i] == '-';
        ++i;
    }
    std::int64_t Magnitude = 0;
    for (; i < Text.size() && IsDigit(Text[i]); ++i) {
        Magnitude = AddDigit(Magnitude, Text[i]);
    }
    return Negative ? -Magnitude : Magnitude;
}

std::size_t ShortNumberAt(const char* p, std::int32_t& Value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t v = 0;
        std::size_t n = LeadingDigits(p, v);
        Value = static_cast<std::int32_t>(v);
        return n < 8 ? n : 0;
    } else {
        std::size_t n = 0;
        std::int32_t v = 0;
        for (; n < 8 && IsDigit(p[n]); ++n) {
            v = v * 10 + (p[n] - '0');
        }
        Value = v;
        return n < 8 ? n : 0;
    }
}

bool TwoDigitsAt(const char* p, std::int32_t& Value) {
    if (IsDigit(p[0]) && IsDigit(p[1]) && !IsDigit(p[2])) {
        Value = (p[0] - '0') * 10 + (p[1] - '0');
        return true;
    }
    return false;
}

std::uint8_t ScanToken() {
    char c = PeekChar();
    if (IsDigit(c) || c == '+' || c == '-') {
        CurChar = c;
        return ScanNumber(c);
    }
    return ScanAfterBlanks();
}

}  // namespace Parser
