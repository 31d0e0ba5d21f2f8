#include <algorithm>
#include <bit>
#include <cstring>

#include "Parser/Parser.h"
#include "Parser/ParserInternal.h"

namespace Parser {

std::int64_t NumValue = 0;
std::uint8_t NumDigits = 0;
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

// The number reader looks at this many bytes at once, from the character
// after a code letter at most: all may lie in the read-ahead.
constexpr std::size_t kDigitBlock = sizeof(std::uint64_t);
static_assert(1 + kDigitBlock <= kReadAhead, "the number reader must not read past the read-ahead");

// How many of the 8 bytes at p are leading decimal digits, and (when fewer
// than 8) their value: eight bytes tested and converted at once.
std::size_t LeadingDigits(const char* p, std::uint64_t& Value) {
    std::uint64_t x = 0;
    std::memcpy(&x, p, kDigitBlock);
    // Digits become the bytes 0 to 9; a byte of 10 or more gets its high bit
    // from the addition, and one of 0x80 or more has it already. A carry out
    // of a byte comes only from a non-digit and only spoils the bytes after
    // it, which are not counted anyway.
    std::uint64_t d = x ^ 0x3030303030303030u;
    std::uint64_t NotDigit = ((d + 0x7676767676767676u) | d) & 0x8080808080808080u;
    std::size_t n = NotDigit == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(NotDigit)) / 8;
    if (n == 0 || n == 8) {
        return n;
    }
    // The first character sits in the lowest byte: shifting the digits up
    // drops what follows them and puts zeros in front, and pairs, quads and
    // octets combine.
    std::uint64_t v = d << (8 * (8 - n));
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFu;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFu;
    Value = (v * 10000 + (v >> 32)) & 0xFFFFFFFFu;
    return n;
}

// Digits by the one, however many: numbers cut by the buffer's end, long
// ones, and those near the end of their line.
[[gnu::noinline]] Status ScanDigits(bool Negative, std::string_view Rest) {
    std::size_t Digits = 0;
    std::int64_t Magnitude = 0;
    for (; !Rest.empty(); Rest = LineRest()) {
        std::size_t i = 0;
        while (i < Rest.size() && IsDigit(Rest[i])) {
            Magnitude = AddDigit(Magnitude, Rest[i]);
            ++i;
        }
        Advance(i);
        Digits += i;
        if (i < Rest.size()) {
            break;
        }
    }
    NumDigits = static_cast<std::uint8_t>(std::min<std::size_t>(Digits, kMaxDigits));
    if (Digits == 0) {
        ScanStatus = kOther;  // a lone sign, consumed
        return ScanStatus;
    }
    NumValue = Negative ? -Magnitude : Magnitude;
    return ScanStatus;
}

[[gnu::always_inline]] inline Status ScanNumber(char First) {
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
            NumDigits = static_cast<std::uint8_t>(n);
            auto Magnitude = static_cast<std::int64_t>(Value);
            NumValue = Negative ? -Magnitude : Magnitude;
            return ScanStatus;
        }
    }
    return ScanDigits(Negative, Rest);
}

Status ScanName(char First) {
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

Status ScanPercentText() {
    ScanStatus = kPercent;
    TextValue.clear();
    Advance();
    for (char c = LineChar(); c != '%'; c = LineChar()) {
        if (c == kEndMark) {
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
[[gnu::noinline]] Status ScanAfterBlanks() {
    for (;;) {
        char c = PeekChar();
        CurChar = c;
        if (c == ' ' || c == '\t' || c == '}') {
            Advance();  // a stray closing brace is ignored like a blank
        } else if (c == kEndMark) {
            return ScanStatus;
        } else if (c == '{') {
            // A comment runs over line ends up to the next "}" or the end of input.
            do {
                Advance();
                c = PeekChar();
            } while (c != '}' && c != kEndMark);
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

char TakePlainField(std::int32_t& Value, std::uint8_t& Digits) {
    // The bytes past a short run may be looked at (the read-ahead): only the
    // last test asks whether the letter, the digits and the character after
    // them are all in it.
    std::string_view Run = NextRun();
    const char* p = Run.data();
    if (p[0] < 'A' || p[0] > 'Z') {
        return 0;
    }
    std::uint64_t v = 0;
    std::size_t n = 0;
    // Most D codes have one or two digits: a cheaper test for them, after a
    // look at the fourth character that sends the long numbers on at once.
    if (IsDigit(p[3])) {
        if constexpr (std::endian::native == std::endian::little) {
            n = LeadingDigits(p + 1, v);
        } else {
            for (; n < 8 && IsDigit(p[n + 1]); ++n) {
                v = v * 10 + static_cast<std::uint64_t>(p[n + 1] - '0');
            }
        }
    } else if (IsDigit(p[1])) {
        n = IsDigit(p[2]) ? 2 : 1;
        v = n == 2 ? static_cast<std::uint64_t>((p[1] - '0') * 10 + (p[2] - '0'))
                   : static_cast<std::uint64_t>(p[1] - '0');
    }
    if (n == 0 || n == 8 || n + 1 >= Run.size()) {
        return 0;
    }
    char Letter = p[0];  // read before the position moves, which may alias it
    Advance(n + 1);
    Value = static_cast<std::int32_t>(v);
    Digits = static_cast<std::uint8_t>(n);
    return Letter;
}

Status ScanToken() {
    char c = PeekChar();
    if (IsDigit(c) || c == '+' || c == '-') {
        CurChar = c;
        return ScanNumber(c);
    }
    return ScanAfterBlanks();
}

}  // namespace Parser
