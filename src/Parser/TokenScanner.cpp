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

std::uint8_t ScanNumber(char First) {
    ScanStatus = kNumber;
    bool Negative = First == '-';
    bool Digits = IsDigit(First);
    std::int64_t Magnitude = Digits ? First - '0' : 0;
    Advance();
    // Straight over the buffer; a number cut by the buffer's end goes on in
    // the next piece of the line.
    for (std::string_view Rest = LineRest(); !Rest.empty(); Rest = LineRest()) {
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

std::uint8_t ScanToken() {
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

}  // namespace Parser
