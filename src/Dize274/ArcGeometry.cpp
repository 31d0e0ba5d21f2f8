#include "Dize274/ArcGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>

namespace Dize274 {

namespace {

constexpr double kPi = std::numbers::pi;
// Rounding noise in the angles must not turn a quarter arc into a rejected
// candidate in single-quadrant mode.
constexpr double kQuarterSlack = 1e-9;

// An arc around one candidate centre: radii at both ends, start angle, sweep.
struct Circle {
    double Cx;
    double Cy;
    double Rs;
    double Re;
    double ThetaS;
    double Delta;
};

Circle Around(const ArcDraw& Arc, double Cx, double Cy) {
    auto Sx = static_cast<double>(Arc.Start.X);
    auto Sy = static_cast<double>(Arc.Start.Y);
    auto Ex = static_cast<double>(Arc.End.X);
    auto Ey = static_cast<double>(Arc.End.Y);
    Circle c{Cx,
             Cy,
             std::hypot(Sx - Cx, Sy - Cy),
             std::hypot(Ex - Cx, Ey - Cy),
             std::atan2(Sy - Cy, Sx - Cx),
             0};
    double ThetaE = std::atan2(Ey - Cy, Ex - Cx);
    bool Closed = Arc.Start.X == Arc.End.X && Arc.Start.Y == Arc.End.Y;
    if (Closed && !Arc.MultiQuadrant) {
        return c;  // no sweep: a quadrant arc cannot be a whole circle
    }
    c.Delta = Arc.Direction == Turn::CounterClockwise ? ThetaE - c.ThetaS : c.ThetaS - ThetaE;
    while (c.Delta <= 0) {
        c.Delta += 2 * kPi;
    }
    return c;
}

// Single-quadrant mode gives the centre's distances only: of the four centres
// they allow, the one whose arc is at most a quarter and whose radii at both
// ends agree best (the first of equals); with no quarter arc among them, the
// best agreement of all.
Circle QuadrantCircle(const ArcDraw& Arc) {
    auto I = std::abs(static_cast<double>(Arc.I));
    auto J = std::abs(static_cast<double>(Arc.J));
    auto Sx = static_cast<double>(Arc.Start.X);
    auto Sy = static_cast<double>(Arc.Start.Y);
    const double Signs[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
    Circle Best{};
    Circle BestQuarter{};
    bool AnyQuarter = false;
    for (std::size_t k = 0; k < 4; ++k) {
        Circle c = Around(Arc, Sx + Signs[k][0] * I, Sy + Signs[k][1] * J);
        double Mismatch = std::abs(c.Rs - c.Re);
        if (k == 0 || Mismatch < std::abs(Best.Rs - Best.Re)) {
            Best = c;
        }
        if (c.Delta <= kPi / 2 + kQuarterSlack &&
            (!AnyQuarter || Mismatch < std::abs(BestQuarter.Rs - BestQuarter.Re))) {
            BestQuarter = c;
            AnyQuarter = true;
        }
    }
    return AnyQuarter ? BestQuarter : Best;
}

// Chords enough for the tolerance (a chord of angle a strays r(1 - cos(a/2))
// from its arc), capped at kMaxChords for a whole circle.
double ChordCount(const Circle& c, double Tolerance) {
    double Rmax = std::max(c.Rs, c.Re);
    if (c.Delta == 0 || Rmax <= Tolerance) {
        return 1;
    }
    // An angle too small for a double makes acos give 0: the cap decides.
    double Wanted = c.Delta / (2 * std::acos(1 - Tolerance / Rmax));
    double Cap = std::ceil(static_cast<double>(kMaxChords) * c.Delta / (2 * kPi));
    return std::min(std::ceil(Wanted), Cap);
}

std::int64_t Nearest(double v) {
    return static_cast<std::int64_t>(std::nearbyint(v));
}

}  // namespace

double ChordTolerance(std::int32_t XMult, std::int32_t XDiv, std::int32_t YMult,
                      std::int32_t YDiv) {
    double Scale = std::max(std::abs(static_cast<double>(XMult)) / static_cast<double>(XDiv),
                            std::abs(static_cast<double>(YMult)) / static_cast<double>(YDiv));
    return Scale == 0 ? std::numeric_limits<double>::infinity() : 0.5 / Scale;
}

std::size_t ArcChords(const ArcDraw& Arc, double Tolerance, GerberPoint (&Ends)[kMaxChords]) {
    if (Arc.I == 0 && Arc.J == 0) {
        Ends[0] = Arc.End;
        return 1;
    }
    Circle c = Arc.MultiQuadrant ? Around(Arc, static_cast<double>(Arc.Start.X) + Arc.I,
                                          static_cast<double>(Arc.Start.Y) + Arc.J)
                                 : QuadrantCircle(Arc);
    auto n = static_cast<std::size_t>(ChordCount(c, Tolerance));
    if (n < 1 || n > kMaxChords) {
        std::abort();  // the cap's rounding gone wrong: never write past Ends
    }
    auto Chords = static_cast<double>(n);
    double Step = Arc.Direction == Turn::CounterClockwise ? 1 : -1;
    for (std::size_t k = 1; k < n; ++k) {
        auto Kd = static_cast<double>(k);
        double Theta = c.ThetaS + Step * (Kd * c.Delta / Chords);
        double r = c.Rs + (c.Re - c.Rs) * Kd / Chords;
        Ends[k - 1] = {Nearest(c.Cx + r * std::cos(Theta)), Nearest(c.Cy + r * std::sin(Theta))};
    }
    Ends[n - 1] = Arc.End;
    return n;
}

}  // namespace Dize274
