// Aperture definitions (AD): the standard templates read here, macros
// evaluated by Macros.cpp, and what each draws measured by Shapes.cpp.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "Gerber/GerberInternal.h"

namespace Gerber {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The modifiers, "1.2X0.8", as numbers; "" gives none.
bool ReadModifiers(std::string_view Text, std::vector<double>& Mods, std::string& Why) {
    Mods.clear();
    if (Text.empty()) {
        return true;
    }
    for (;;) {
        std::size_t X = Text.find('X');
        double v = 0;
        if (!ReadDecimal(Text.substr(0, X), v)) {
            Why = "modifier " + std::to_string(Mods.size() + 1) + " is not a decimal number";
            return false;
        }
        Mods.push_back(v);
        if (X == std::string_view::npos) {
            return true;
        }
        Text.remove_prefix(X + 1);
    }
}

struct Template {
    char Name;
    Shape Kind;
    std::size_t Least;  // modifiers
    std::size_t Most;
};
constexpr Template kTemplates[] = {
    {'C', Shape::kCircle, 1, 2},
    {'R', Shape::kRectangle, 2, 3},
    {'O', Shape::kObround, 2, 3},
    {'P', Shape::kPolygon, 2, 4},
};

// Beyond this a size is no board's (a kilometre in millimetres); the message
// names it.
constexpr double kMaxSize = 1e6;

bool TakeStandard(const Template& t, const std::vector<double>& m, Aperture& Out,
                  std::string& Why) {
    if (m.size() < t.Least || m.size() > t.Most) {
        Why = std::string(1, t.Name) + " takes " + std::to_string(t.Least) + " to " +
              std::to_string(t.Most) + " modifiers, not " + std::to_string(m.size());
        return false;
    }
    for (std::size_t i = 0; i < m.size(); ++i) {
        bool Angle = t.Name == 'P' && i == 2;
        if (std::fabs(m[i]) > kMaxSize || (!Angle && m[i] < 0)) {
            Why = "modifier " + std::to_string(i + 1) + " is negative or beyond 1000000";
            return false;
        }
    }
    Out.Kind = t.Kind;
    if (t.Name == 'C') {
        Out.Width = Out.Height = m[0];
        Out.Hole = m.size() > 1 ? m[1] : 0;
    } else if (t.Name == 'P') {
        if (m[1] < 3 || m[1] > 12 || m[1] != std::floor(m[1])) {
            Why = "a polygon has 3 to 12 vertices";
            return false;
        }
        Out.Stroke = m[0];
        Out.Vertices = static_cast<int>(m[1]);
        Out.Rotation = m.size() > 2 ? m[2] : 0;
        Out.Hole = m.size() > 3 ? m[3] : 0;
    } else {
        Out.Width = m[0];
        Out.Height = m[1];
        Out.Hole = m.size() > 2 ? m[2] : 0;
    }
    // A hole is a cut-out of the shape: one reaching past it would draw the
    // shape's outline around nothing and widen its extent.
    double Inside = t.Name == 'P'   ? m[0] * std::cos(std::numbers::pi / Out.Vertices)
                    : t.Name == 'C' ? m[0]
                                    : std::min(m[0], m[1]);
    if (Out.Hole > 0 && Out.Hole >= Inside) {
        Why = "the hole does not lie inside the aperture";
        return false;
    }
    return true;
}

}  // namespace

Taken TakeApertureParameter(std::string_view Text, bool FirstOfBlock, Aperture& Out,
                            std::string& Why) {
    if (!FirstOfBlock || Text.substr(0, 2) == "AM") {
        return TakeMacroParameter(Text, FirstOfBlock, Why);
    }
    (void)TakeMacroParameter(Text, FirstOfBlock, Why);  // closes any macro
    if (Text.substr(0, 2) != "AD") {
        return Taken::kOther;
    }
    Text.remove_prefix(2);
    std::size_t Digits = 1;
    while (Digits < Text.size() && IsDigit(Text[Digits])) {
        ++Digits;
    }
    // Nine digits at most: a D code fits in 32 bits.
    if (Text.empty() || Text[0] != 'D' || Digits == 1 || Digits > 10) {
        Why = "Aperture definition without a D code.";
        return Taken::kMalformed;
    }
    Aperture a;
    a.DCode = std::stoi(std::string(Text.substr(1, Digits - 1)));
    std::string Prefix = "Aperture D" + std::to_string(a.DCode) + ": ";
    if (a.DCode < 10) {
        Why = Prefix + "D codes of apertures start at 10.";
        return Taken::kMalformed;
    }
    Text.remove_prefix(Digits);
    std::size_t Comma = Text.find(',');
    a.Template = Text.substr(0, Comma);
    a.Modifiers = Comma == std::string_view::npos ? "" : Text.substr(Comma + 1);
    if (a.Template.empty()) {
        Why = Prefix + "template expected.";
        return Taken::kMalformed;
    }
    std::vector<double> Mods;
    if (!ReadModifiers(a.Modifiers, Mods, Why)) {
        Why = Prefix + Why + ".";
        return Taken::kMalformed;
    }
    const Template* Standard = nullptr;
    for (const Template& t : kTemplates) {
        if (a.Template.size() == 1 && a.Template[0] == t.Name) {
            Standard = &t;
        }
    }
    if (Standard != nullptr) {
        if (!TakeStandard(*Standard, Mods, a, Why)) {
            Why = Prefix + Why + ".";
            return Taken::kMalformed;
        }
    } else if (!EvaluateMacro(a.Template, Mods, a.Primitives, Why)) {
        if (Why.substr(0, 5) == "macro") {
            Why = Prefix + Why;
        }
        return Taken::kMalformed;
    }
    Measure(a);
    Out = std::move(a);
    return Taken::kAperture;
}

}  // namespace Gerber
