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
    std::uint64_t Region;  // which region it is a tile of
    cInt TileX;            // and which tile
    cInt TileY;
    bool Tiled;
};

Area Square(cInt Left, cInt Bottom, cInt Right, cInt Top) {
    return {{{Left, Bottom}, {Left, Top}, {Right, Top}, {Right, Bottom}}};
}

// A large region is held in square tiles, each cut on its own: a cut then
// sweeps one tile, not the whole pour with every hole cut in it so far. The
// tiles are joined again before the region is filled.
constexpr cInt kTile = 1024 * kFillScale;
constexpr cInt kMostTiles = 4096;

// A dark line or pad, in layout units: small, as a file may have millions.
struct Dark {
    LayoutPoint From;
    LayoutPoint To;
    float Reach;
    std::uint32_t Seen;
    bool Counted;
};

// Cuts wait until they hold kBatchShare times the fill's points and
// kBatchPoints more: memory in proportion to the region, and few sweeps (a
// sweep over many holes costs more than its points).
constexpr std::size_t kBatchShare = 1;
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
    // Dark objects go into their grid only when a clear object comes: a file
    // without clear polarity pays their records alone.
    Grid DarkGrid;
    std::size_t DarksIndexed = 0;
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
        return v > 0 ? 1 : v < 0 ? -1 : 0;
    };
    return Side(a, b, c) * Side(a, b, d) < 0 && Side(c, d, a) * Side(c, d, b) < 0;
}

// Whether the dark object's copper meets the area: its segment inside it, or
// within its reach of an edge.
IntPoint Scaled(LayoutPoint p) {
    return {cInt{p.X} * kFillScale, cInt{p.Y} * kFillScale};
}

bool Meets(const Dark& d, const Area& A) {
    IntPoint From = Scaled(d.From);
    IntPoint To = Scaled(d.To);
    double Reach = double{d.Reach} * kFillScale;
    for (const Path& p : A) {
        if (ClipperLib::Orientation(p) && ClipperLib::PointInPolygon(From, p) != 0) {
            return true;
        }
        for (std::size_t k = 0; k < p.size(); ++k) {
            IntPoint a = p[k];
            IntPoint b = p[(k + 1) % p.size()];
            if (Crosses(From, To, a, b) || SegmentDistance(a, From, To) <= Reach ||
                SegmentDistance(From, a, b) <= Reach || SegmentDistance(To, a, b) <= Reach) {
                return true;
            }
        }
    }
    return false;
}

// Into the grid: the cells its copper may reach, not all of its box's, so
// that a long diagonal line is in few.
void IndexDark(std::size_t i) {
    const Dark& d = State.Darks[i];
    IntPoint a = Scaled(d.From);
    IntPoint b = Scaled(d.To);
    auto Margin = static_cast<cInt>(std::ceil(double{d.Reach} * kFillScale));
    Box Extent{std::min(a.X, b.X) - Margin, std::min(a.Y, b.Y) - Margin,
               std::max(a.X, b.X) + Margin, std::max(a.Y, b.Y) + Margin};
    auto Index = static_cast<std::uint32_t>(i);
    if (CellCount(Extent) > kMostCells) {
        State.DarkGrid.Big.push_back(Index);
        return;
    }
    double Near = static_cast<double>(Margin) + static_cast<double>(kCell) * 0.7072;
    ForCells(Extent, [&](std::uint64_t k) {
        IntPoint Centre{static_cast<std::int32_t>(k >> 32) * kCell + kCell / 2,
                        static_cast<std::int32_t>(k & 0xffffffffU) * kCell + kCell / 2};
        if (SegmentDistance(Centre, a, b) <= Near) {
            State.DarkGrid.Cells[k].push_back(Index);
        }
    });
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
    auto Hold = [&](Area Piece, Box Extent, cInt tx, cInt ty, bool Tiled) {
        std::size_t n = Points(Piece);
        State.Fills.push_back({std::move(Piece), Extent, {}, 0, n, 0, State.Filled, tx, ty, Tiled});
        Insert(State.FillGrid, Extent, State.Fills.size() - 1);
    };
    auto First = [](cInt v) { return v >= 0 ? v / kTile : -((-v + kTile - 1) / kTile); };
    cInt Columns = First(b.Right) - First(b.Left) + 1;
    cInt Rows = First(b.Top) - First(b.Bottom) + 1;
    if (Columns * Rows == 1 || Columns * Rows > kMostTiles) {
        Hold(std::move(A), b, 0, 0, false);
    } else {
        for (cInt tx = First(b.Left); tx <= First(b.Right); ++tx) {
            for (cInt ty = First(b.Bottom); ty <= First(b.Top); ++ty) {
                Box t{tx * kTile, ty * kTile, (tx + 1) * kTile, (ty + 1) * kTile};
                Area Piece = A;
                CutArea(Piece, Square(t.Left, t.Bottom, t.Right, t.Top), true);
                if (!IsEmpty(Piece)) {
                    Hold(std::move(Piece), t, tx, ty, true);
                }
            }
        }
    }
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
            if (h.CutPoints > kBatchShare * h.FillPoints + kBatchPoints) {
                ApplyCuts(h);
            }
        });
    ++(Any ? State.Cutting : State.Missed);
    for (; State.DarksIndexed < State.Darks.size(); ++State.DarksIndexed) {
        IndexDark(State.DarksIndexed);
    }
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
    // A float's reach rounded up: never short of the copper.
    State.Darks.push_back({From, To, std::nextafter(static_cast<float>(Reach), 1e30F), 0, false});
}

// A tile of a region is filled with its neighbours' pieces near it, so that
// its lines are the whole region's there: inset from the region's edges, not
// from the tile's.
Cover FillTile(std::size_t First, std::size_t End, std::size_t i, std::vector<FillLine>& Out) {
    const Held& t = State.Fills[i];
    cInt m = cInt{FillSize} * kFillScale;
    Area Near;
    for (std::size_t k = First; k < End; ++k) {
        const Held& n = State.Fills[k];
        if (std::abs(n.TileX - t.TileX) <= 1 && std::abs(n.TileY - t.TileY) <= 1) {
            Near.insert(Near.end(), n.Fill.begin(), n.Fill.end());
        }
    }
    CutArea(Near,
            Square(t.Extent.Left - m, t.Extent.Bottom - m, t.Extent.Right + m, t.Extent.Top + m),
            true);
    Area Within = Square(t.Extent.Left, t.Extent.Bottom, t.Extent.Right, t.Extent.Top);
    return FillArea(Near, FillSize, Out, &Within);
}

void WriteFills() {
    std::vector<FillLine> Lines;
    for (std::size_t i = 0; i < State.Fills.size();) {
        // A region's tiles, cut, each filled.
        std::size_t First = i;
        std::size_t End = i;
        while (End < State.Fills.size() && State.Fills[End].Region == State.Fills[i].Region) {
            ApplyCuts(State.Fills[End++]);
        }
        Cover c = Cover::kFull;
        for (; i < End; ++i) {
            Lines.clear();
            Held& h = State.Fills[i];
            c = std::max(
                c, h.Tiled ? FillTile(First, End, i, Lines) : FillArea(h.Fill, FillSize, Lines));
            for (const FillLine& l : Lines) {
                WriteLineRec(l.X0, l.Y0, l.X1, l.Y1, FillWidth);
            }
        }
        State.Thin += c == Cover::kThin ? 1 : 0;
        State.Huge += c == Cover::kTooLarge ? 1 : 0;
        for (std::size_t k = First; k < End; ++k) {
            Area().swap(State.Fills[k].Fill);
        }
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
        ReportWarning("Clear polarity was used (" + Count(s.Missed) +
                      " times) where there was no fill to cut; those objects were not written.");
    }
    if (s.Whole > 0) {
        ReportWarning("Lines and pads that clear polarity covers were written whole (" +
                      Count(s.Whole) + " times).");
    }
    if (s.Thin > 0) {
        ReportWarning("Regions were too thin to fill with lines " + IntToText(FillSize) +
                      " units wide (" + Count(s.Thin) + " times).");
    }
    if (s.Huge > 0) {
        ReportWarning("Regions were too large to fill; their edges alone were written (" +
                      Count(s.Huge) + " times).");
    }
}

}  // namespace Dize274
