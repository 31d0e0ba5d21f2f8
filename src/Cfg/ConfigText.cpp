#include <cstdio>

#include "Cfg/Cfg.h"
#include "Dize274/Dize274.h"

namespace Cfg {

namespace {

constexpr std::string_view kEnd = "\r\n";  // as the design system's own files

// A size as a person reads it: up to six significant digits, no exponent
// for the sizes apertures have.
std::string Number(double v, const char* Format) {
    char Text[48];
    int n = std::snprintf(Text, sizeof Text, Format, v);
    return std::string(Text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string InFile(double v) {
    return Number(v, "%.6g");
}

std::string InLayout(double v) {
    return Number(v, "%.1f");
}

// The two sizes of a pad, or its one.
std::string Sizes(double X, double Y, bool OneSize, std::string (*Text)(double)) {
    return OneSize ? Text(X) : Text(X) + " x " + Text(Y);
}

bool OneSize(Gerber::Shape k) {
    return k == Gerber::Shape::kCircle || k == Gerber::Shape::kPolygon;
}

std::string ShapeText(const Gerber::Aperture& A) {
    switch (A.Kind) {
        case Gerber::Shape::kCircle:
            return "circle";
        case Gerber::Shape::kRectangle:
            return "rectangle";
        case Gerber::Shape::kObround:
            return "obround";
        case Gerber::Shape::kPolygon:
            return "polygon (" + std::to_string(A.Vertices) + " vertices)";
        case Gerber::Shape::kOther:
            break;
    }
    return "extent";
}

std::string Decimals(const FileFacts& F) {
    std::string x = std::to_string(F.XDecimals) + " decimals";
    return F.XDecimals == F.YDecimals ? x : x + " (X) and " + std::to_string(F.YDecimals) + " (Y)";
}

std::string Column(std::string Text, std::size_t Width) {
    if (Text.size() < Width) {
        Text.append(Width - Text.size(), ' ');
    }
    return Text;
}

std::string Axis(char Name, std::int32_t Mult, std::int32_t Div) {
    return "{ " + std::string(1, Name) + ": multiplier  divisor  offset }    " +
           std::to_string(Mult) + "  " + std::to_string(Div) + "  0";
}

std::string Entry(const Defined& D, Gerber::Unit Of, const Sheet::CodeSheet& S) {
    Choice c = Choose(D, Of, S);
    std::string Use = D.Drawn && D.Flashed ? "drawn and flashed"
                      : D.Drawn            ? "drawn"
                      : D.Flashed          ? "flashed"
                                           : "not used";
    return "  " + Column(std::to_string(D.A.DCode), 8) + Column(std::to_string(c.Width), 7) +
           Column(std::to_string(c.Pattern), 7) + "{ " + Describe(D, Of) + "; " +
           WidthChoiceText(c, S) + "; " + PatternChoiceText(c, S) + "; " + Use + " }";
}

}  // namespace

std::string Percent(double Off) {
    return Number(Off * 100, "%.0f") + " %";
}

std::string Describe(const Defined& D, Gerber::Unit Of) {
    const Gerber::Aperture& A = D.A;
    bool One = OneSize(A.Kind);
    double w = One ? A.Stroke : A.Width;
    std::string Text = A.Template.size() > 1 || A.Kind == Gerber::Shape::kOther
                           ? "macro " + CommentSafe(A.Template) + ": "
                           : std::string();
    Text += ShapeText(A) + " " + Sizes(w, A.Height, One, InFile) + " " + std::string(UnitName(Of)) +
            " = " + Sizes(ToLayout(w, Of), ToLayout(A.Height, Of), One, InLayout) + " mil";
    if (A.Kind == Gerber::Shape::kPolygon) {
        Text += ", " + InLayout(ToLayout(Across(D), Of)) +
                (A.Vertices % 2 == 0 ? " across the flats" : " from a flat to a corner");
    }
    return Text;
}

std::string WidthChoiceText(const Choice& c, const Sheet::CodeSheet& S) {
    if (c.Width < 0) {
        return "no width listed";
    }
    return "width " + std::to_string(c.Width) + " is " + std::to_string(S.Width[c.Width]) + ", " +
           Percent(c.WidthOff) + " off";
}

std::string PatternChoiceText(const Choice& c, const Sheet::CodeSheet& S) {
    if (c.Pattern < 0) {
        return "no pattern listed";
    }
    const Sheet::Pad& P = S.Pads[c.Pattern];
    bool One = P.Shape == Sheet::PadShape::kRound || P.Shape == Sheet::PadShape::kOctagon;
    return "pattern " + std::to_string(c.Pattern) + " is " +
           std::string(Sheet::ShapeName(P.Shape)) + " " +
           (One ? std::to_string(P.X) : std::to_string(P.X) + " x " + std::to_string(P.Y)) + ", " +
           Percent(c.PatternOff) + " off";
}

std::string ConfigText(const std::string& GerberName, const FileFacts& F, const Sheet::CodeSheet& S,
                       std::string_view SheetName, std::int32_t Layer, int FillCode) {
    std::int32_t XMult = 0;
    std::int32_t XDiv = 0;
    std::int32_t YMult = 0;
    std::int32_t YDiv = 0;
    bool Known = TransformOf(F, XMult, XDiv, YMult, YDiv);
    std::string Lines[] = {
        "{ Lumarind configuration for " + CommentSafe(GerberName) + ", written by " +
            std::string(kNameAndVersion) + " }",
        "{ from the file's own apertures and the code sheet " + CommentSafe(SheetName) + ". }",
        Known ? "{ The file's coordinates: " + std::string(UnitName(F.Units)) + " with " +
                    Decimals(F) + ", to thousandths of an inch. }"
              : "{ The file gives no " +
                    std::string(F.Units == Gerber::Unit::Unknown ? "unit" : "coordinate format") +
                    ": the built-in transform. }",
        "",
        Axis('X', XMult, XDiv),
        Axis('Y', YMult, YDiv),
        "{ layer }                             " + std::to_string(Layer),
        "",
        "{ D code  width  pattern }",
    };
    std::string Text;
    for (const std::string& l : Lines) {
        Text += l;
        Text += kEnd;
    }
    for (const Defined& D : F.Apertures) {
        if (D.Replaced != 0) {
            Text += "  { D" + std::to_string(D.A.DCode) + " is defined again at line " +
                    std::to_string(D.Line) + ": that replaces the definition at line " +
                    std::to_string(D.Replaced) + ". }";
            Text += kEnd;
        }
        Text += Entry(D, F.Units, S);
        Text += kEnd;
    }
    for (std::int32_t d : F.OutOfRange) {
        Text += "  { D" + std::to_string(d) + " is left out: a configuration holds D" +
                std::to_string(Dize274::kFirstAperture) + " to D" +
                std::to_string(Dize274::kLastAperture) + ". }";
        Text += kEnd;
    }
    if (FillCode >= 0) {
        std::string w = std::to_string(FillCode);
        std::string Size = std::to_string(S.Width[FillCode]);
        Text += kEnd;
        Text += "  " + Column(std::to_string(Dize274::kFillEntry), 8) + Column(w, 7) +
                Column(Size, 7) + "{ the fill: regions filled with lines of width code " + w +
                ", " + Size + " units wide }";
        Text += kEnd;
    }
    return Text;
}

}  // namespace Cfg
