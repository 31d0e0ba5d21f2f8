// Aperture macros: stored as their text when AM defines them, evaluated
// when AD names one, with its modifiers as the variables $1, $2, ...
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>

#include "Gerber/GerberInternal.h"

namespace Gerber {

namespace {

// A macro costs its own text and no more: its primitives as written.
struct Macro {
    std::vector<std::string> Primitives;
};

std::map<std::string, Macro, std::less<>> Macros;
// The macro whose block is being read, and its name.
Macro* Open = nullptr;
std::string_view OpenName;

// Beyond this (a kilometre in millimetres) a value is no size a board has;
// the bound keeps every sum and product of sizes finite.
constexpr double kMaxValue = 1e6;
// An outline's vertex count beyond what its text can hold is refused before
// anything is allocated for it; a polygon has 3 to 12.
constexpr int kMinPolygon = 3;
constexpr int kMaxPolygon = 12;
// More rings than a moire target is ever drawn with.
constexpr int kMaxRings = 100;

struct Layout {
    int Code;
    const char* Name;
    bool HasExposure;
    std::size_t Values;  // after the exposure, rotation included
};

// 4 (outline) counts its values from its vertex count.
constexpr Layout kLayouts[] = {
    {1, "circle", true, 4},       {2, "vector line", true, 6},      {20, "vector line", true, 6},
    {21, "centre line", true, 5}, {22, "lower-left line", true, 5}, {4, "outline", true, 0},
    {5, "polygon", true, 5},      {6, "moire", false, 9},           {7, "thermal", false, 6},
};

const Layout* FindLayout(int Code) {
    for (const Layout& l : kLayouts) {
        if (l.Code == Code) {
            return &l;
        }
    }
    return nullptr;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The primitive's code: its leading digits. -1 when there are none.
int ReadCode(std::string_view Text, std::size_t& End) {
    End = 0;
    int Code = 0;
    while (End < Text.size() && IsDigit(Text[End]) && Code < 1000) {
        Code = Code * 10 + (Text[End++] - '0');
    }
    return End == 0 ? -1 : Code;
}

// Splits at the commas; "" gives no pieces.
std::vector<std::string_view> Split(std::string_view Text) {
    std::vector<std::string_view> Pieces;
    while (!Text.empty()) {
        std::size_t Comma = Text.find(',');
        Pieces.push_back(Text.substr(0, Comma));
        Text.remove_prefix(Comma == std::string_view::npos ? Text.size() : Comma + 1);
    }
    return Pieces;
}

// A variable's assignment, "$4=$1x2"; false when Text is none.
bool IsAssignment(std::string_view Text, std::size_t& Equals) {
    Equals = Text.find('=');
    return !Text.empty() && Text.front() == '$' && Equals != std::string_view::npos;
}

bool Assign(std::string_view Text, std::size_t Equals, std::vector<double>& Vars,
            std::string& Why) {
    std::string_view Name = Text.substr(1, Equals - 1);
    unsigned n = 0;
    for (char c : Name) {
        if (!IsDigit(c) || n > kMaxVariable) {
            n = kMaxVariable + 1;
            break;
        }
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (Name.empty() || n == 0 || n > kMaxVariable) {
        Why = "variable $1 to $" + std::to_string(kMaxVariable) + " expected before \"=\"";
        return false;
    }
    double Value = 0;
    if (!Evaluate(Text.substr(Equals + 1), Vars, Value, Why)) {
        return false;
    }
    if (Vars.size() < n) {
        Vars.resize(n, 0.0);
    }
    Vars[n - 1] = Value;
    return true;
}

// Sizes that must not be negative, and the bounds of a thermal and a moire.
bool CheckSizes(int Code, const std::vector<double>& v, std::string& Why) {
    auto Negative = [&v](std::initializer_list<std::size_t> At) {
        for (std::size_t i : At) {
            if (v[i] < 0) {
                return true;
            }
        }
        return false;
    };
    bool Bad = false;
    switch (Code) {
        case 1:
        case 20:
            Bad = Negative({0});
            break;
        case 21:
        case 22:
            Bad = Negative({0, 1});
            break;
        case 5:
            Bad = Negative({3});
            break;
        case 6:
            Bad = Negative({2, 3, 4, 5, 6, 7});
            if (!Bad && v[5] > kMaxRings) {
                Why = "more than " + std::to_string(kMaxRings) + " rings";
                return false;
            }
            break;
        case 7:
            Bad = Negative({2, 3, 4});
            if (!Bad && !(v[3] < v[2])) {
                Why = "the inner diameter must be less than the outer";
                return false;
            }
            break;
        default:
            break;
    }
    if (Bad) {
        Why = "a size must not be negative";
    }
    return !Bad;
}

// One primitive's text evaluated; nothing added for a comment.
bool EvaluatePrimitive(std::string_view Text, std::vector<double>& Vars,
                       std::vector<Primitive>& Out, std::string& Why) {
    std::size_t Equals = 0;
    if (IsAssignment(Text, Equals)) {
        return Assign(Text, Equals, Vars, Why);
    }
    std::size_t End = 0;
    int Code = ReadCode(Text, End);
    if (Code == 0) {
        return true;
    }
    const Layout* l = FindLayout(Code);
    if (l == nullptr || (End < Text.size() && Text[End] != ',')) {
        Why = "primitive code expected";
        if (Code > 0) {
            Why = "unknown primitive " + std::to_string(Code);
        }
        return false;
    }
    std::vector<std::string_view> Pieces = Split(Text.substr(End < Text.size() ? End + 1 : End));
    std::size_t Exposures = l->HasExposure ? 1 : 0;
    std::size_t Wanted = l->Values;
    std::vector<double> Values;
    Values.reserve(Pieces.size());
    for (std::string_view p : Pieces) {
        double v = 0;
        if (!Evaluate(p, Vars, v, Why)) {
            Why.insert(
                0, std::string(l->Name) + ", value " + std::to_string(Values.size() + 1) + ": ");
            return false;
        }
        if (std::fabs(v) > kMaxValue) {
            Why = std::string(l->Name) + ", value " + std::to_string(Values.size() + 1) +
                  ": too large";
            return false;
        }
        Values.push_back(v);
    }
    if (Code == 4) {
        double n = Values.size() > 1 ? Values[1] : 0;
        if (n < 1 || n != std::floor(n) || n > static_cast<double>(Values.size())) {
            Why = "outline: vertex count 1 or more expected, within its values";
            return false;
        }
        Wanted = 2 * static_cast<std::size_t>(n) + 4;  // the count, n + 1 points, rotation
    }
    // The rotation may be left out.
    std::size_t Given = Values.size() - std::min(Values.size(), Exposures);
    if (Given + 1 == Wanted) {
        Values.push_back(0.0);
        ++Given;
    }
    if (Given != Wanted) {
        Why = std::string(l->Name) + " takes " + std::to_string(Wanted + Exposures - 1) +
              " values (" + std::to_string(Wanted + Exposures) + " with a rotation), not " +
              std::to_string(Values.size());
        return false;
    }
    Primitive p;
    p.Code = static_cast<std::uint8_t>(Code == 2 ? 20 : Code);
    if (l->HasExposure) {
        if (Values[0] != 0 && Values[0] != 1) {
            Why = std::string(l->Name) + ": exposure 0 or 1 expected";
            return false;
        }
        p.Dark = Values[0] == 1;
        Values.erase(Values.begin());
    }
    if (Code == 5 && (Values[0] < kMinPolygon || Values[0] > kMaxPolygon ||
                      Values[0] != std::floor(Values[0]))) {
        Why = "polygon: 3 to 12 vertices expected";
        return false;
    }
    if (!CheckSizes(p.Code, Values, Why)) {
        Why = std::string(l->Name) + ": " + Why;
        return false;
    }
    p.Values = std::move(Values);
    Out.push_back(std::move(p));
    return true;
}

bool IsNameCharacter(char c, bool First) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '.' || c == '$' ||
           (!First && (IsDigit(c) || c == '-'));
}

}  // namespace

Taken TakeMacroParameter(std::string_view Text, bool FirstOfBlock, std::string& Why) {
    if (!FirstOfBlock) {
        if (Open == nullptr) {
            return Taken::kOther;
        }
        Open->Primitives.emplace_back(Text);
        // The code is checked now, the values when an aperture gives them.
        std::size_t End = 0;
        std::size_t Equals = 0;
        int Code = ReadCode(Text, End);
        if (!IsAssignment(Text, Equals) && Code != 0 && FindLayout(Code) == nullptr) {
            Why = "Aperture macro " + std::string(OpenName) + ", primitive " +
                  std::to_string(Open->Primitives.size()) +
                  (Code < 0 ? ": primitive code expected."
                            : ": unknown primitive " + std::to_string(Code) + ".");
            return Taken::kMalformed;
        }
        return Taken::kMacro;
    }
    Open = nullptr;
    if (Text.substr(0, 2) != "AM") {
        return Taken::kOther;
    }
    std::string_view Name = Text.substr(2);
    bool Named = !Name.empty();
    for (std::size_t i = 0; i < Name.size(); ++i) {
        Named = Named && IsNameCharacter(Name[i], i == 0);
    }
    if (!Named) {
        Why = "Aperture macro without a name, or with a name of other characters.";
        return Taken::kMalformed;
    }
    // Defined again: the later definition stands, as for apertures.
    auto [It, New] = Macros.try_emplace(std::string(Name));
    It->second.Primitives.clear();
    Open = &It->second;
    OpenName = It->first;
    return Taken::kMacro;
}

bool EvaluateMacro(std::string_view Name, const std::vector<double>& Mods,
                   std::vector<Primitive>& Out, std::string& Why) {
    auto It = Macros.find(Name);
    if (It == Macros.end()) {
        Why = "Unknown aperture macro " + std::string(Name) + ".";
        return false;
    }
    std::vector<double> Vars = Mods;
    Out.clear();
    std::size_t Number = 0;
    for (const std::string& Text : It->second.Primitives) {
        ++Number;
        if (!EvaluatePrimitive(Text, Vars, Out, Why)) {
            Why.insert(
                0, "macro " + std::string(Name) + ", primitive " + std::to_string(Number) + ": ");
            Why += ".";
            return false;
        }
    }
    return true;
}

void ForgetMacros() {
    Macros.clear();
    Open = nullptr;
    OpenName = {};
}

}  // namespace Gerber
