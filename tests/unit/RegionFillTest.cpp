#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Dize274/RegionFill.h"

namespace {

using Dize274::Contour;
using Dize274::Cover;
using Dize274::FillLine;

// What the region paints, worked out here on its own: a point lies in a
// contour by the even-odd rule, in the region when in any of its contours.
bool InRegion(const std::vector<Contour>& Region, double x, double y) {
    return std::any_of(Region.begin(), Region.end(), [&](const Contour& c) {
        bool In = false;
        for (std::size_t k = 0, j = c.size() - 1; k < c.size(); j = k++) {
            if ((c[k].Y > y) != (c[j].Y > y) &&
                x < c[j].X + (y - c[j].Y) * (c[k].X - c[j].X) / double(c[k].Y - c[j].Y)) {
                In = !In;
            }
        }
        return In;
    });
}

double SegmentDistance(double x, double y, double x0, double y0, double x1, double y1) {
    double dx = x1 - x0;
    double dy = y1 - y0;
    double l = dx * dx + dy * dy;
    double t = l == 0 ? 0 : std::clamp(((x - x0) * dx + (y - y0) * dy) / l, 0.0, 1.0);
    return std::hypot(x - x0 - t * dx, y - y0 - t * dy);
}

double EdgeDistance(const std::vector<Contour>& Region, double x, double y) {
    double d = 1e30;
    for (const Contour& c : Region) {
        for (std::size_t k = 0, j = c.size() - 1; k < c.size(); j = k++) {
            d = std::min(d, SegmentDistance(x, y, c[j].X, c[j].Y, c[k].X, c[k].Y));
        }
    }
    return d;
}

struct Row {
    const char* Name;
    std::vector<Contour> Region;
    int S;
    Cover Expected;
};

const Row kRows[] = {
    {"square", {{{0, 0}, {60, 0}, {60, 60}, {0, 60}}}, 8, Cover::kFull},
    // A cut-in whose hole turns the same way as the outer edge: open all the same.
    {"cut-in hole",
     {{{0, 0},
       {60, 0},
       {60, 60},
       {20, 60},
       {20, 20},
       {40, 20},
       {40, 40},
       {20, 40},
       {20, 60},
       {0, 60}}},
     8,
     Cover::kFull},
    // Two contours, one inside the other and turning against it: both painted.
    {"nested contours",
     {{{0, 0}, {50, 0}, {50, 50}, {0, 50}}, {{10, 10}, {10, 40}, {40, 40}, {40, 10}}},
     7,
     Cover::kFull},
    {"L with a notch", {{{0, 0}, {70, 0}, {70, 15}, {20, 15}, {20, 50}, {0, 50}}}, 9, Cover::kFull},
    {"acute triangle", {{{0, 0}, {80, 0}, {0, 23}}}, 6, Cover::kFull},
    {"odd width", {{{3, -7}, {41, -7}, {41, 30}, {3, 30}}}, 5, Cover::kFull},
    // 6 units across for lines 7 wide: they may reach one unit over, no more.
    {"thinner than the line", {{{0, 0}, {50, 0}, {50, 6}, {0, 6}}}, 7, Cover::kThin},
    {"far too thin", {{{0, 0}, {50, 0}, {50, 2}, {0, 2}}}, 8, Cover::kThin},
};

// Every point a line covers lies in the region or within a unit of it, plus
// the rounding of the line's ends (0.71); every point deeper than half a line
// is covered. The region is sampled on a quarter-unit grid.
TEST(RegionFill, LinesCoverTheRegionAndNothingOutsideIt) {
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.Name);
        std::vector<FillLine> Lines;
        EXPECT_EQ(Dize274::FillArea(Dize274::RegionArea(r.Region), r.S, Lines), r.Expected);
        double Over = r.Expected == Cover::kThin ? 2 : 1;
        double Half = r.S / 2.0;
        for (double y = -12; y < 72; y += 0.25) {
            for (double x = -12; x < 92; x += 0.25) {
                bool Covered = std::any_of(Lines.begin(), Lines.end(), [&](const FillLine& l) {
                    return SegmentDistance(x, y, l.X0, l.Y0, l.X1, l.Y1) <= Half;
                });
                bool In = InRegion(r.Region, x, y);
                double Edge = EdgeDistance(r.Region, x, y);
                if (Covered && !In) {
                    ASSERT_LE(Edge, Over + 0.71) << "outside at " << x << "," << y;
                }
                if (In && Edge > Half + 1) {
                    ASSERT_TRUE(Covered) << "gap at " << x << "," << y;
                }
            }
        }
        if (r.Name == std::string_view("far too thin")) {
            EXPECT_TRUE(Lines.empty());
        }
    }
}

// A clear flash and a clear draw take their areas out of a fill: no line
// comes within half a line of what they cover.
TEST(RegionFill, CutsLeaveWhatClearObjectsCover) {
    Dize274::Area A = Dize274::RegionArea({{{0, 0}, {100, 0}, {100, 100}, {0, 100}}});
    Dize274::Area Pad = Dize274::CircleShape(30);
    Dize274::Area Cuts = Dize274::StrokeArea(Pad, {50, 50}, {50, 50});
    Dize274::Area Track = Dize274::StrokeArea(Dize274::CircleShape(10), {-10, 20}, {110, 20});
    Cuts.insert(Cuts.end(), Track.begin(), Track.end());
    Dize274::CutArea(A, Cuts);
    std::vector<FillLine> Lines;
    EXPECT_EQ(Dize274::FillArea(A, 6, Lines), Cover::kFull);
    ASSERT_FALSE(Lines.empty());
    for (const FillLine& l : Lines) {
        // Every point of a line is at least 3 from the pad (radius 15) and the track (5 from y =
        // 20).
        for (double t = 0; t <= 1; t += 0.05) {
            double x = l.X0 + t * (l.X1 - l.X0);
            double y = l.Y0 + t * (l.Y1 - l.Y0);
            EXPECT_GE(std::hypot(x - 50, y - 50), 15 + 3 - 0.71);
            EXPECT_GE(std::abs(y - 20), 5 + 3 - 0.71);
        }
    }
}

}  // namespace
