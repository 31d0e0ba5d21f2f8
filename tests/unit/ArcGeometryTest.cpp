#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "Dize274/ArcGeometry.h"

namespace {

using Dize274::ArcDraw;
using Dize274::GerberPoint;
using Dize274::Turn;

constexpr double kPi = std::numbers::pi;
constexpr auto kCcw = Turn::CounterClockwise;
constexpr auto kCw = Turn::Clockwise;
constexpr bool kMulti = true;
constexpr bool kQuad = false;  // single-quadrant
// A chord end rounded to whole units moves at most half a unit on each axis.
constexpr double kRounding = 0.7072;

// An arc, the centre it must be drawn around, the angle its chords turn
// through (counter-clockwise positive) and their count, worked out by hand.
struct Row {
    const char* Name;
    ArcDraw Arc;
    double Tolerance;
    GerberPoint Centre;
    double Sweep;
    std::size_t Chords;
};

// The angles turned through by the rows "near" and "tie".
const double kNear = std::atan2(3000, -2000) - std::atan2(2000, 1000);
const double kTie = std::atan2(4000, -8000) - std::atan2(6000, -3000);

const Row kRows[] = {
    {"full circle", {{1000, 0}, {1000, 0}, -1000, 0, kCcw, kMulti}, 0.5, {0, 0}, 2 * kPi, 100},
    {"quarter ccw", {{1000, 0}, {0, 1000}, -1000, 0, kCcw, kMulti}, 0.5, {0, 0}, kPi / 2, 25},
    {"quarter cw", {{0, 1000}, {1000, 0}, 0, -1000, kCw, kMulti}, 0.5, {0, 0}, -kPi / 2, 25},
    // Single quadrant, the signs of I and J ignored. Of the centres (900,700)
    // (100,700) (900,100) (100,100) only the last gives a quarter.
    {"quad ccw", {{500, 400}, {-200, 500}, -400, 300, kCcw, kQuad}, 0.5, {100, 100}, kPi / 2, 18},
    // (100,900) (-500,900) (100,100) (-500,100): the third.
    {"quad cw", {{-200, 500}, {500, 400}, 300, -400, kCw, kQuad}, 0.5, {100, 100}, -kPi / 2, 18},
    // (1000,2000) (-1000,2000) (1000,-2000) (-1000,-2000): the third has equal
    // radii but turns 270 degrees; of the last two, which turn less than a
    // quarter, the last has the radii nearer each other (2236 and 3606).
    {"near", {{0, 0}, {-3000, 1000}, 1000, -2000, kCcw, kQuad}, 0.5, {-1000, -2000}, kNear, 32},
    // Equal radii around (1000,3000), a quarter that the angles make a little
    // more than pi/2; (-1000,3000) turns less, its radii 1937 units apart.
    {"slack", {{0, 0}, {4000, 2000}, 1000, 3000, kCcw, kQuad}, 0.5, {1000, 3000}, kPi / 2, 45},
    // (3000,-6000) and (-3000,-6000) both turn less than a quarter, their radii
    // equally far apart: the earlier one.
    {"tie", {{0, 0}, {-5000, -2000}, -3000, -6000, kCcw, kQuad}, 0.5, {3000, -6000}, kTie, 31},
    // No centre gives a quarter: (0,0) has equal radii, (2000,0) does not.
    {"no quarter", {{1000, 0}, {-1000, 0}, 1000, 0, kCcw, kQuad}, 0.5, {0, 0}, kPi, 50},
    // Back at the start in single-quadrant mode: no turn, one chord of length 0.
    {"quad closed", {{300, 300}, {300, 300}, 100, 0, kCw, kQuad}, 0.5, {400, 300}, 0, 1},
    // The radius goes from 1000 to 1100 along the arc.
    {"radii differ", {{1000, 0}, {0, 1100}, -1000, 0, kCcw, kMulti}, 0.5, {0, 0}, kPi / 2, 27},
    // I and J both 0: a straight line.
    {"no centre", {{5, 5}, {100, -7}, 0, 0, kCcw, kMulti}, 0.5, {0, 0}, 0, 1},
    // No larger than the tolerance: one chord, which turns through nothing.
    {"tiny circle", {{10, 0}, {10, 0}, -10, 0, kCcw, kMulti}, 10, {0, 0}, 0, 1},
    {"3/4 cw", {{10000, 0}, {0, 10000}, -10000, 0, kCw, kMulti}, 12.7, {0, 0}, -3 * kPi / 2, 47},
    // Capped: 1024 chords for a circle, in proportion for less.
    {"cap circle", {{10000, 0}, {10000, 0}, -10000, 0, kCcw, kMulti}, 1e-9, {0, 0}, 2 * kPi, 1024},
    {"cap half", {{10000, 0}, {-10000, 0}, -10000, 0, kCw, kMulti}, 1e-9, {0, 0}, -kPi, 512},
};

double Radius(GerberPoint p, GerberPoint c) {
    return std::hypot(static_cast<double>(p.X - c.X), static_cast<double>(p.Y - c.Y));
}

TEST(ArcChords, ChordsFollowTheArcWithinTheTolerance) {
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.Name);
        GerberPoint Ends[Dize274::kMaxChords];
        std::size_t n = Dize274::ArcChords(r.Arc, r.Tolerance, Ends);
        ASSERT_EQ(n, r.Chords);
        EXPECT_EQ(Ends[n - 1].X, r.Arc.End.X);
        EXPECT_EQ(Ends[n - 1].Y, r.Arc.End.Y);
        if (r.Arc.I == 0 && r.Arc.J == 0) {
            continue;  // a straight line: no circle to be on
        }
        // Each end on the circle, its radius moving evenly from the start's to
        // the end's; each midpoint within the tolerance of it, or within what n
        // equal chords allow when capped.
        auto Cx = static_cast<double>(r.Centre.X);
        auto Cy = static_cast<double>(r.Centre.Y);
        double Rs = Radius(r.Arc.Start, r.Centre);
        double Re = Radius(r.Arc.End, r.Centre);
        auto Along = [&](double k) { return Rs + (Re - Rs) * k / static_cast<double>(n); };
        double Stray = std::max(
            r.Tolerance, std::max(Rs, Re) * (1 - std::cos(r.Sweep / 2 / static_cast<double>(n))));
        double Swept = 0;
        GerberPoint From = r.Arc.Start;
        for (std::size_t k = 1; k <= n; ++k) {
            const GerberPoint& To = Ends[k - 1];
            auto Kd = static_cast<double>(k);
            EXPECT_NEAR(Radius(To, r.Centre), Along(Kd), kRounding) << "chord " << k;
            double Mx = static_cast<double>(From.X + To.X) / 2 - Cx;
            double My = static_cast<double>(From.Y + To.Y) / 2 - Cy;
            EXPECT_LE(Along(Kd - 0.5) - std::hypot(Mx, My), Stray + kRounding) << "chord " << k;
            double Ax = static_cast<double>(From.X) - Cx;
            double Ay = static_cast<double>(From.Y) - Cy;
            double Bx = static_cast<double>(To.X) - Cx;
            double By = static_cast<double>(To.Y) - Cy;
            Swept += std::atan2(Ax * By - Ay * Bx, Ax * Bx + Ay * By);
            From = To;
        }
        EXPECT_NEAR(Swept, r.Sweep, 1e-9);
    }
}

TEST(ChordTolerance, HalfALayoutUnitOnTheAxisThatMagnifiesMost) {
    struct ToleranceRow {
        std::int32_t XMult, XDiv, YMult, YDiv;
        double Tolerance;
    };
    const double kInfinite = std::numeric_limits<double>::infinity();
    for (const ToleranceRow& r :
         {ToleranceRow{1000, 25400, 1000, 25400, 12.7}, ToleranceRow{1, 1, 1, 1, 0.5},
          ToleranceRow{1, 10, 1, 25400, 5}, ToleranceRow{1, 25400, 1, 10, 5},
          ToleranceRow{1, 3, 0, 1, 1.5}, ToleranceRow{-2, 1, 1, 1, 0.25},
          ToleranceRow{0, 1, -4, 2, 0.25}, ToleranceRow{-1, 10, -1, 10, 5},
          ToleranceRow{0, 1, 0, 7, kInfinite}, ToleranceRow{0, 25400, 0, 1, kInfinite}}) {
        EXPECT_DOUBLE_EQ(Dize274::ChordTolerance(r.XMult, r.XDiv, r.YMult, r.YDiv), r.Tolerance)
            << r.XMult << "/" << r.XDiv << " " << r.YMult << "/" << r.YDiv;
    }
}

}  // namespace
