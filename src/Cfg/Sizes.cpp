#include <algorithm>
#include <cmath>
#include <numbers>

#include "Cfg/Cfg.h"
#include "Dize274/Dize274.h"

namespace Cfg {

namespace {

constexpr double kMilsPerInch = 1000;
constexpr double kMillimetresPerInch = 25.4;

// Relative errors are taken of at least the smallest size a sheet holds, so
// that an aperture of size 0 has a finite one.
double Base(double Want) {
    return std::max(Want, static_cast<double>(Sheet::kMinSize));
}

}  // namespace

double ToLayout(double Size, Gerber::Unit Of) {
    return Of == Gerber::Unit::Inch ? Size * kMilsPerInch
                                    : Size * kMilsPerInch / kMillimetresPerInch;
}

std::string_view UnitName(Gerber::Unit Of) {
    switch (Of) {
        case Gerber::Unit::Inch:
            return "in";
        case Gerber::Unit::Millimetre:
            return "mm";
        case Gerber::Unit::Unknown:
            break;
    }
    return "mm (assumed)";
}

double Across(const Defined& D) {
    int n = D.A.Vertices;
    if (n < 3) {
        return D.Outer;
    }
    double c = std::cos(std::numbers::pi / n);
    return n % 2 == 0 ? D.Outer * c : D.Outer / 2 * (1 + c);
}

PadSize PadOf(const Defined& D, Gerber::Unit Of) {
    const Gerber::Aperture& A = D.A;
    double w = ToLayout(A.Width, Of);
    double h = ToLayout(A.Height, Of);
    double d = ToLayout(A.Stroke, Of);  // a circle's diameter
    switch (A.Kind) {
        case Gerber::Shape::kCircle:
            return {Sheet::PadShape::kRound, d, d};
        case Gerber::Shape::kObround:
            // One with equal sides is a circle, and draws as one.
            if (A.Width == A.Height) {
                return {Sheet::PadShape::kRound, w, w};
            }
            return {Sheet::PadShape::kOblong, w, h};
        case Gerber::Shape::kPolygon:
            d = ToLayout(Across(D), Of);
            return {Sheet::PadShape::kOctagon, d, d};
        case Gerber::Shape::kRectangle:
        case Gerber::Shape::kOther:
            break;
    }
    return {Sheet::PadShape::kRect, w, h};
}

double Off(double Size, double Want) {
    return std::fabs(Size - Want) / Base(Want);
}

double PadOff(const Sheet::Pad& P, const PadSize& Want) {
    return std::max(Off(P.X, Want.X), Off(P.Y, Want.Y));
}

bool TransformOf(const FileFacts& F, std::int32_t& XMult, std::int32_t& XDiv, std::int32_t& YMult,
                 std::int32_t& YDiv) {
    if (F.FormatKnown && Gerber::UnitsPair(F.Units, F.XDecimals, XMult, XDiv) &&
        Gerber::UnitsPair(F.Units, F.YDecimals, YMult, YDiv)) {
        return true;
    }
    XMult = YMult = Dize274::kDefaultMult;
    XDiv = YDiv = Dize274::kDefaultDiv;
    return false;
}

Choice Choose(const Defined& D, Gerber::Unit Of, const Sheet::CodeSheet& S) {
    Choice c;
    double Stroke = ToLayout(D.A.Stroke, Of);
    c.Width = Sheet::NearestWidth(S, Stroke);
    if (c.Width >= 0) {
        c.WidthOff = Off(S.Width[c.Width], Stroke);
    }
    PadSize P = PadOf(D, Of);
    c.Pattern = Sheet::NearestPad(S, P.Shape, P.X, P.Y);
    if (c.Pattern >= 0) {
        c.PatternOff = PadOff(S.Pads[c.Pattern], P);
    }
    return c;
}

std::string CommentSafe(std::string_view Text) {
    std::string s(Text);
    std::replace(s.begin(), s.end(), '{', '(');
    std::replace(s.begin(), s.end(), '}', ')');
    return s;
}

}  // namespace Cfg
