#include "Dize274/FillPass.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Dize274/Console.h"
#include "Dize274/PcbWriter.h"
#include "Dize274/Settings.h"

namespace Dize274 {

namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;
using ClipperLib::Path;

struct Box {
    cInt Left;
    cInt Bottom;
    cInt Right;
    cInt Top;
};

bool Meets(const Box& a, const Box& b) {
    return a.Left <= b.Right && b.Left <= a.Right && a.Bottom <= b.Top && b.Bottom <= a.Top;
}

Box Bounds(const Area& A) {
    Box b{0, 0, -1, -1};
    bool First = true;
    for (const Path& p : A) {
        for (const IntPoint& q : p) {
            if (First) {
                b = {q.X, q.Y, q.X, q.Y};
                First = false;
            }
            b = {std::min(b.Left, q.X), std::min(b.Bottom, q.Y), std::max(b.Right, q.X),
                 std::max(b.Top, q.Y)};
        }
    }
    return b;
}

std::size_t Points(const Area& A) {
    std::size_t n = 0;
    for (const Path& p : A) {
        n += p.size();
    }
    return n;
}

// Which held fills and dark objects lie where: buckets of a square grid, an
// object in every cell its box meets. Only the cells something uses exist.
constexpr cInt kCell = 256 * kFillScale;

// An object over more cells than kMostCells goes on a list of its own that
// every query looks at, so that no box of the 32-bit plane costs its cells.
constexpr cInt kMostCells = 256;

struct Grid {
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> Cells;
    std::vector<std::uint32_t> Big;
};

cInt CellOf(cInt v) {
    return v >= 0 ? v / kCell : -((-v + kCell - 1) / kCell);
}

template <typename Visitor>
void ForCells(const Box& b, Visitor Visit) {
    for (cInt x = CellOf(b.Left); x <= CellOf(b.Right); ++x) {
        for (cInt y = CellOf(b.Bottom); y <= CellOf(b.Top); ++y) {
            Visit((static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) |
                  static_cast<std::uint32_t>(y));
        }
    }
}

cInt CellCount(const Box& b) {
    return (CellOf(b.Right) - CellOf(b.Left) + 1) * (CellOf(b.Top) - CellOf(b.Bottom) + 1);
}

void Insert(Grid& g, const Box& b, std::size_t Index) {
    auto i = static_cast<std::uint32_t>(Index);
    if (CellCount(b) > kMostCells) {
        g.Big.push_back(i);
    } else {
        ForCells(b, [&](std::uint64_t k) { g.Cells[k].push_back(i); });
    }
}

// Calls Visit once with each index whose cells meet b; Seen(i) marks what
// this query has seen.
template <typename Visitor, typename Marker>
void Query(const Grid& g, const Box& b, Marker Seen, Visitor Visit) {
    auto VisitAll = [&](const std::vector<std::uint32_t>& List) {
        for (std::uint32_t i : List) {
            if (Seen(i)) {
                Visit(i);
            }
        }
    };
    VisitAll(g.Big);
    if (CellCount(b) <= static_cast<cInt>(g.Cells.size())) {
        ForCells(b, [&](std::uint64_t k) {
            if (auto it = g.Cells.find(k); it != g.Cells.end()) {
                VisitAll(it->second);
            }
        });
        return;
    }
    // A box over more cells than are used: the used ones, each looked at.
    for (const auto& [k, List] : g.Cells) {
        cInt x = static_cast<std::int32_t>(k >> 32);
        cInt y = static_cast<std::int32_t>(k & 0xffffffffU);
        if (x >= CellOf(b.Left) && x <= CellOf(b.Right) && y >= CellOf(b.Bottom) &&
            y <= CellOf(b.Top)) {
            VisitAll(List);
        }
    }
}

struct Held {
    Area Fill;
    Box Extent;
    Area Cuts;  // not yet taken out: cutting in batches is one sweep, not one per object
    std::size_t CutPoints;
    std::size_t FillPoints;
    std::uint32_t Seen;
};

struct Dark {
    IntPoint From;
    IntPoint To;
    double Reach;
    bool Counted;
    std::uint32_t Seen;
};

// Cuts wait until they hold this many points more than the fill: memory in
// proportion to the region, and each sweep pays for itself.
constexpr std::size_t kBatchPoints = 4096;

struct Shape {
    Area Covers;
    double Reach;  // in layout units
};

struct FillState {
    std::unordered_map<std::int32_t, Shape> Shapes;
    std::vector<Contour> Contours;
    bool NewContour = true;
    std::vector<Held> Fills;
    Grid FillGrid;
    std::vector<Dark> Darks;
    Grid DarkGrid;
    std::uint32_t Stamp = 0;
    std::uint64_t Filled = 0;
    std::uint64_t Cutting = 0;
    std::uint64_t Missed = 0;
    std::uint64_t Whole = 0;
    std::uint64_t Thin = 0;
    std::uint64_t Huge = 0;
};
FillState State;

void ApplyCuts(Held& h) {
    if (!h.Cuts.empty()) {
        CutArea(h.Fill, h.Cuts);
        Area().swap(h.Cuts);
        h.CutPoints = 0;
        h.FillPoints = Points(h.Fill);
    }
}

double SegmentDistance(IntPoint p, IntPoint a, IntPoint b) {
    auto dx = static_cast<double>(b.X - a.X);
    auto dy = static_cast<double>(b.Y - a.Y);
    auto px = static_cast<double>(p.X - a.X);
    auto py = static_cast<double>(p.Y - a.Y);
    double l = dx * dx + dy * dy;
    double t = l == 0 ? 0 : std::clamp((px * dx + py * dy) / l, 0.0, 1.0);
    return std::hypot(px - t * dx, py - t * dy);
}

bool Crosses(IntPoint a, IntPoint b, IntPoint c, IntPoint d) {
    auto Side = [](IntPoint p, IntPoint q, IntPoint r) {
        double v = static_cast<double>(q.X - p.X) * static_cast<double>(r.Y - p.Y) -
                   static_cast<double>(q.Y - p.Y) * static_cast<double>(r.X - p.X);
        return (v > 0) - (v < 0);
    };
    return Side(a, b, c) * Side(a, b, d) < 0 && Side(c, d, a) * Side(c, d, b) < 0;
}

// Whether the dark object's copper meets the area: its segment inside it, or
// within its reach of an edge.
bool Meets(const Dark& d, const Area& A) {
    for (const Path& p : A) {
        if (ClipperLib::Orientation(p) && ClipperLib::PointInPolygon(d.From, p) != 0) {
            return true;
        }
        for (std::size_t k = 0; k < p.size(); ++k) {
            IntPoint a = p[k];
            IntPoint b = p[(k + 1) % p.size()];
            if (Crosses(d.From, d.To, a, b) || SegmentDistance(a, d.From, d.To) <= d.Reach ||
                SegmentDistance(d.From, a, b) <= d.Reach ||
                SegmentDistance(d.To, a, b) <= d.Reach) {
                return true;
            }
        }
    }
    return false;
}

void CloseContour() {
    if (!State.NewContour && State.Contours.back().size() < 3) {
        State.Contours.pop_back();
    }
    State.NewContour = true;
}

std::string Count(std::uint64_t n) {
    return IntToText(static_cast<std::int64_t>(n));
}

}  // namespace

void StartFills() {
    State = {};
}

void DefineShape(std::int32_t DCode, const std::vector<Gerber::Contour>& Outlines, double XScale,
                 double YScale) {
    // In order: a dark outline adds, a clear one takes away what came before.
    Area Covers;
    double Reach = 0;
    for (const Gerber::Contour& c : Outlines) {
        Path p;
        for (Gerber::Point q : c.Points) {
            double x = q.X * XScale;
            double y = q.Y * YScale;
            Reach = std::max(Reach, std::hypot(x, y));
            p.push_back({std::llround(x * kFillScale), std::llround(y * kFillScale)});
        }
        Area One = OutlineArea(p);
        if (c.Dark) {
            Covers.insert(Covers.end(), One.begin(), One.end());
        } else {
            Covers = UniteArea(Covers);
            CutArea(Covers, One);
        }
    }
    State.Shapes[DCode] = {UniteArea(Covers), Reach};
}

Area ShapeArea(std::int32_t DCode, LayoutPoint From, LayoutPoint To) {
    auto it = State.Shapes.find(DCode);
    return it == State.Shapes.end() ? Area() : StrokeArea(it->second.Covers, From, To);
}

double ShapeReach(std::int32_t DCode) {
    auto it = State.Shapes.find(DCode);
    return it == State.Shapes.end() ? 0 : it->second.Reach;
}

void AddContourEdge(LayoutPoint From, LayoutPoint To) {
    std::vector<Contour>& c = State.Contours;
    if (State.NewContour || c.back().back().X != From.X || c.back().back().Y != From.Y) {
        CloseContour();
        c.push_back({From});
        State.NewContour = false;
    }
    c.back().push_back(To);
}

void EndRegion(bool Clear) {
    CloseContour();
    Area A = RegionArea(State.Contours);
    State.Contours.clear();
    if (Clear) {
        CutFills(A);
        return;
    }
    if (IsEmpty(A)) {
        ++State.Thin;  // no area at all: nothing a line could cover
        return;
    }
    Box b = Bounds(A);
    std::size_t n = Points(A);
    State.Fills.push_back({std::move(A), b, {}, 0, n, 0});
    Insert(State.FillGrid, b, State.Fills.size() - 1);
    ++State.Filled;
}

void CutFills(const Area& A) {
    if (IsEmpty(A)) {
        ++State.Missed;
        return;
    }
    Box b = Bounds(A);
    std::uint32_t s = ++State.Stamp;
    std::size_t n = Points(A);
    bool Any = false;
    auto Unseen = [s](std::uint32_t& Mark) { return std::exchange(Mark, s) != s; };
    Query(
        State.FillGrid, b, [&](std::uint32_t i) { return Unseen(State.Fills[i].Seen); },
        [&](std::uint32_t i) {
            Held& h = State.Fills[i];
            if (!Meets(h.Extent, b)) {
                return;
            }
            h.Cuts.insert(h.Cuts.end(), A.begin(), A.end());
            h.CutPoints += n;
            Any = true;
            if (h.CutPoints > h.FillPoints + kBatchPoints) {
                ApplyCuts(h);
            }
        });
    ++(Any ? State.Cutting : State.Missed);
    Query(
        State.DarkGrid, b, [&](std::uint32_t i) { return Unseen(State.Darks[i].Seen); },
        [&](std::uint32_t i) {
            Dark& d = State.Darks[i];
            if (!d.Counted && Meets(d, A)) {
                d.Counted = true;
                ++State.Whole;
            }
        });
}

void NoteDark(LayoutPoint From, LayoutPoint To, double Reach) {
    IntPoint a{cInt{From.X} * kFillScale, cInt{From.Y} * kFillScale};
    IntPoint b{cInt{To.X} * kFillScale, cInt{To.Y} * kFillScale};
    double r = Reach * kFillScale;
    auto Margin = static_cast<cInt>(std::ceil(r));
    Box Extent{std::min(a.X, b.X) - Margin, std::min(a.Y, b.Y) - Margin,
               std::max(a.X, b.X) + Margin, std::max(a.Y, b.Y) + Margin};
    State.Darks.push_back({a, b, r, false, 0});
    Insert(State.DarkGrid, Extent, State.Darks.size() - 1);
}

void WriteFills() {
    std::vector<FillLine> Lines;
    for (Held& h : State.Fills) {
        ApplyCuts(h);
        Lines.clear();
        Cover c = FillArea(h.Fill, FillSize, Lines);
        State.Thin += c == Cover::kThin ? 1 : 0;
        State.Huge += c == Cover::kTooLarge ? 1 : 0;
        for (const FillLine& l : Lines) {
            WriteLineRec(l.X0, l.Y0, l.X1, l.Y1, FillWidth);
        }
        Area().swap(h.Fill);
    }
}

void ReportFills() {
    const FillState& s = State;
    if (s.Filled > 0) {
        WriteLine("Regions were filled with lines of width code " + IntToText(FillWidth) + ", " +
                  IntToText(FillSize) + " units wide (" + Count(s.Filled) + " times).");
    }
    if (s.Cutting > 0) {
        WriteLine("Clear polarity cut the fills of regions drawn before it (" + Count(s.Cutting) +
                  " times).");
    }
    if (s.Missed > 0) {
        WriteLine("WARNING: Clear polarity was used (" + Count(s.Missed) +
                  " times) where there was no fill to cut; those objects were not written.");
    }
    if (s.Whole > 0) {
        WriteLine("WARNING: Lines and pads that clear polarity covers were written whole (" +
                  Count(s.Whole) + " times).");
    }
    if (s.Thin > 0) {
        WriteLine("WARNING: Regions were too thin to fill with lines " + IntToText(FillSize) +
                  " units wide (" + Count(s.Thin) + " times).");
    }
    if (s.Huge > 0) {
        WriteLine("WARNING: Regions were too large to fill; their edges alone were written (" +
                  Count(s.Huge) + " times).");
    }
}

}  // namespace Dize274
