// Arithmetic of aperture macros, read by recursive descent straight from the
// text each time an aperture is defined.
#include <charconv>
#include <cmath>
#include <string>

#include "Gerber/GerberInternal.h"

namespace Gerber {

namespace {

// Deeper parentheses than any writer needs; the bound keeps the stack small.
constexpr int kMaxNesting = 32;

struct Reader {
    std::string_view Text;
    std::size_t At = 0;
    const std::vector<double>* Vars = nullptr;
    int Depth = 0;
    std::string Why;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Peek(Reader& r) {
    while (r.At < r.Text.size() && (r.Text[r.At] == ' ' || r.Text[r.At] == '\t')) {
        ++r.At;
    }
    return r.At < r.Text.size() ? r.Text[r.At] : '\0';
}

bool Fail(Reader& r, std::string Why) {
    if (r.Why.empty()) {
        r.Why = std::move(Why);
    }
    return false;
}

bool Sum(Reader& r, double& Value);

// A number, $n, or a parenthesised sum, after any signs.
bool Operand(Reader& r, double& Value) {
    bool Negative = false;
    for (char c = Peek(r); c == '-' || c == '+'; c = Peek(r)) {
        Negative = Negative != (c == '-');
        ++r.At;
    }
    char c = Peek(r);
    if (c == '(') {
        if (++r.Depth > kMaxNesting) {
            return Fail(r, "parentheses nested too deeply");
        }
        ++r.At;
        if (!Sum(r, Value)) {
            return false;
        }
        if (Peek(r) != ')') {
            return Fail(r, "\")\" expected");
        }
        ++r.At;
        --r.Depth;
    } else if (c == '$') {
        std::size_t Start = ++r.At;
        while (r.At < r.Text.size() && IsDigit(r.Text[r.At])) {
            ++r.At;
        }
        unsigned n = 0;
        auto [End, Error] = std::from_chars(r.Text.data() + Start, r.Text.data() + r.At, n);
        if (Error != std::errc{} || n == 0 || n > kMaxVariable) {
            return Fail(r, "variable $1 to $" + std::to_string(kMaxVariable) + " expected");
        }
        Value = n <= r.Vars->size() ? (*r.Vars)[n - 1] : 0.0;
    } else if (IsDigit(c) || c == '.') {
        std::size_t Start = r.At;
        while (r.At < r.Text.size() && (IsDigit(r.Text[r.At]) || r.Text[r.At] == '.')) {
            ++r.At;
        }
        if (!ReadDecimal(r.Text.substr(Start, r.At - Start), Value)) {
            return Fail(r, "a number is malformed");
        }
    } else {
        return Fail(r, c == '\0' ? "a value is missing"
                                 : "unexpected character (" + std::string(1, c) + ")");
    }
    if (Negative) {
        Value = -Value;
    }
    return true;
}

bool Product(Reader& r, double& Value) {
    if (!Operand(r, Value)) {
        return false;
    }
    for (char c = Peek(r); c == 'x' || c == 'X' || c == '/'; c = Peek(r)) {
        ++r.At;
        double Right = 0;
        if (!Operand(r, Right)) {
            return false;
        }
        Value = c == '/' ? Value / Right : Value * Right;
    }
    return true;
}

bool Sum(Reader& r, double& Value) {
    if (!Product(r, Value)) {
        return false;
    }
    for (char c = Peek(r); c == '+' || c == '-'; c = Peek(r)) {
        ++r.At;
        double Right = 0;
        if (!Product(r, Right)) {
            return false;
        }
        Value = c == '+' ? Value + Right : Value - Right;
    }
    return true;
}

}  // namespace

bool ReadDecimal(std::string_view Text, double& Value) {
    std::string_view Digits = Text;
    bool Negative = !Digits.empty() && Digits.front() == '-';
    if (!Digits.empty() && (Digits.front() == '-' || Digits.front() == '+')) {
        Digits.remove_prefix(1);
    }
    // from_chars alone would take exponents, "inf" and "nan" too.
    std::size_t Points = 0;
    std::size_t Figures = 0;
    for (char c : Digits) {
        if (c == '.') {
            ++Points;
        } else if (IsDigit(c)) {
            ++Figures;
        } else {
            return false;
        }
    }
    if (Figures == 0 || Points > 1) {
        return false;
    }
    double v = 0;
    auto [End, Error] = std::from_chars(Digits.data(), Digits.data() + Digits.size(), v);
    if (Error != std::errc{} || End != Digits.data() + Digits.size() || !std::isfinite(v)) {
        return false;
    }
    Value = Negative ? -v : v;
    return true;
}

bool Evaluate(std::string_view Text, const std::vector<double>& Vars, double& Value,
              std::string& Why) {
    Reader r;
    r.Text = Text;
    r.Vars = &Vars;
    double v = 0;
    if (!Sum(r, v)) {
        Why = r.Why;
        return false;
    }
    if (Peek(r) != '\0') {
        Why = "unexpected character (" + std::string(1, Peek(r)) + ")";
        return false;
    }
    if (!std::isfinite(v)) {
        Why = "a value is not a finite number (a division by zero?)";
        return false;
    }
    Value = v;
    return true;
}

}  // namespace Gerber
