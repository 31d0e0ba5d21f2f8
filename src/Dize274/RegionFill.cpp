#include "Dize274/RegionFill.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Dize274 {

namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;
using ClipperLib::Path;

// The chords of the inset's rounded corners stray inside their circle by at
// most this (a quarter unit); the inset goes that much deeper, so that no
// chord comes nearer the area's edge than half a line.
constexpr double kArcTolerance = kFillScale / 4.0;

IntPoint Scaled(LayoutPoint p) {
    return {cInt{p.X} * kFillScale, cInt{p.Y} * kFillScale};
}

// To the nearest layout unit, halves up, whatever the sign.
std::int32_t ToGrid(cInt v) {
    cInt Half = kFillScale / 2;
    cInt q = v + Half;
    return static_cast<std::int32_t>(q >= 0 ? q / kFillScale
                                            : -((-q + kFillScale - 1) / kFillScale));
}

Area Union(const Area& A) {
    ClipperLib::Clipper c;
    c.AddPaths(A, ClipperLib::ptSubject, true);
    Area Out;
    c.Execute(ClipperLib::ctUnion, Out, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
    return Out;
}

// The points farther than Depth (scaled units) inside the area's edge; the
// paths are one component's outer edge and holes, as Clipper orients them.
Area Inset(const Area& Component, double Depth) {
    if (Depth <= 0) {
        return Component;
    }
    ClipperLib::ClipperOffset o(2.0, kArcTolerance);
    o.AddPaths(Component, ClipperLib::jtRound, ClipperLib::etClosedPolygon);
    Area Out;
    o.Execute(Out, -Depth);
    return Out;
}

// The inset's edges as closed chains of lines, each path on the grid.
void StrokeEdges(const Area& E, std::vector<FillLine>& Out) {
    for (const Path& p : E) {
        std::size_t First = Out.size();
        LayoutPoint Start{ToGrid(p.back().X), ToGrid(p.back().Y)};
        LayoutPoint At = Start;
        for (const IntPoint& q : p) {
            LayoutPoint Next{ToGrid(q.X), ToGrid(q.Y)};
            if (Next.X != At.X || Next.Y != At.Y) {
                Out.push_back({At.X, At.Y, Next.X, Next.Y});
                At = Next;
            }
        }
        if (Out.size() == First) {
            Out.push_back({At.X, At.Y, At.X, At.Y});  // a path within one grid point: a dot
        }
    }
}

struct Edge {
    cInt Low;  // the edge covers the scanlines Low <= Y < High
    cInt High;
    double X;  // at Low
    double Slope;
};

// Horizontal lines across the inset, Step apart on the grid: each pair of
// crossings of a scanline, in order, bounds a piece inside. False, and no
// lines, when there would be more than kMostScanlines of them.
bool Scan(const Area& E, std::int32_t Step, std::vector<FillLine>& Out) {
    std::vector<Edge> Edges;
    cInt Bottom = 0;
    cInt Top = 0;
    bool Any = false;
    for (const Path& p : E) {
        for (std::size_t k = 0; k < p.size(); ++k) {
            IntPoint a = p[k];
            IntPoint b = p[(k + 1) % p.size()];
            if (a.Y == b.Y) {
                continue;
            }
            if (a.Y > b.Y) {
                std::swap(a, b);
            }
            auto Dy = static_cast<double>(b.Y - a.Y);
            Edges.push_back(
                {a.Y, b.Y, static_cast<double>(a.X), static_cast<double>(b.X - a.X) / Dy});
            Bottom = Any ? std::min(Bottom, a.Y) : a.Y;
            Top = Any ? std::max(Top, b.Y) : b.Y;
            Any = true;
        }
    }
    if (!Any) {
        return true;
    }
    if ((Top - Bottom) / kFillScale / Step > kMostScanlines) {
        return false;
    }
    std::sort(Edges.begin(), Edges.end(),
              [](const Edge& l, const Edge& r) { return l.Low < r.Low; });
    std::vector<const Edge*> Active;
    std::vector<double> Xs;
    std::size_t Next = 0;
    // The first line half a step above the bottom: below it the inset's
    // stroked edge covers.
    auto First = static_cast<cInt>(
        std::floor(static_cast<double>(Bottom) / kFillScale + static_cast<double>(Step) / 2));
    for (cInt y = First; y * kFillScale < Top; y += Step) {
        cInt Y = y * kFillScale;
        while (Next < Edges.size() && Edges[Next].Low <= Y) {
            Active.push_back(&Edges[Next++]);
        }
        std::erase_if(Active, [Y](const Edge* e) { return e->High <= Y; });
        Xs.clear();
        for (const Edge* e : Active) {
            Xs.push_back(e->X + static_cast<double>(Y - e->Low) * e->Slope);
        }
        std::sort(Xs.begin(), Xs.end());
        auto Row = static_cast<std::int32_t>(y);
        for (std::size_t k = 0; k + 1 < Xs.size(); k += 2) {
            auto l = static_cast<std::int32_t>(std::lround(Xs[k] / kFillScale));
            auto r = static_cast<std::int32_t>(std::lround(Xs[k + 1] / kFillScale));
            if (l <= r) {
                Out.push_back({l, Row, r, Row});
            }
        }
    }
    return true;
}

// One component of an area: an outer edge and its holes.
Cover FillComponent(const Area& Component, std::int32_t S, const Area* Within,
                    std::vector<FillLine>& Out) {
    double Half = S / 2.0 * kFillScale;
    Area E = Inset(Component, Half + kArcTolerance);
    Cover c = Cover::kFull;
    if (IsEmpty(E)) {
        // No room for a line: one that overhangs the edge by a unit, or none.
        c = Cover::kThin;
        E = Inset(Component, Half - kFillScale + kArcTolerance);
    }
    if (Within != nullptr) {
        CutArea(E, *Within, true);
    }
    StrokeEdges(E, Out);
    return Scan(E, std::max(1, S - 1), Out) ? c : Cover::kTooLarge;
}

}  // namespace

Area RegionArea(const std::vector<Contour>& Contours) {
    Area All;
    for (const Contour& c : Contours) {
        if (c.size() < 3) {
            continue;
        }
        Path p;
        p.reserve(c.size());
        for (LayoutPoint q : c) {
            p.push_back(Scaled(q));
        }
        Area One = OutlineArea(p);
        All.insert(All.end(), One.begin(), One.end());
    }
    return Union(All);
}

Area OutlineArea(const ClipperLib::Path& Outline) {
    Area Out;
    ClipperLib::SimplifyPolygon(Outline, Out, ClipperLib::pftEvenOdd);
    return Out;
}

Area UniteArea(const Area& A) {
    return Union(A);
}

void CutArea(Area& A, const Area& Cuts, bool Keep) {
    ClipperLib::Clipper c;
    c.AddPaths(A, ClipperLib::ptSubject, true);
    c.AddPaths(Cuts, ClipperLib::ptClip, true);
    Area Out;
    c.Execute(Keep ? ClipperLib::ctIntersection : ClipperLib::ctDifference, Out,
              ClipperLib::pftNonZero, ClipperLib::pftNonZero);
    A.swap(Out);
}

bool IsEmpty(const Area& A) {
    return std::none_of(A.begin(), A.end(), [](const Path& p) { return p.size() >= 3; });
}

Cover FillArea(const Area& A, std::int32_t S, std::vector<FillLine>& Out, const Area* Within) {
    ClipperLib::PolyTree Tree;
    ClipperLib::Clipper c;
    c.AddPaths(A, ClipperLib::ptSubject, true);
    c.Execute(ClipperLib::ctUnion, Tree, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
    Cover Result = Cover::kFull;
    Area Component;
    for (ClipperLib::PolyNode* n = Tree.GetFirst(); n != nullptr; n = n->GetNext()) {
        if (n->IsHole()) {
            continue;
        }
        Component.assign(1, n->Contour);
        for (const ClipperLib::PolyNode* h : n->Childs) {
            Component.push_back(h->Contour);
        }
        Result = std::max(Result, FillComponent(Component, S, Within, Out));
    }
    return Result;
}

Area StrokeArea(const Area& Shape, LayoutPoint From, LayoutPoint To) {
    IntPoint a = Scaled(From);
    IntPoint b = Scaled(To);
    Area All;
    for (IntPoint d : {a, b}) {
        for (const Path& p : Shape) {
            Path Moved = p;
            for (IntPoint& q : Moved) {
                q.X += d.X;
                q.Y += d.Y;
            }
            All.push_back(std::move(Moved));
        }
    }
    if (a == b) {
        return Union(All);
    }
    for (const Path& p : Shape) {
        if (ClipperLib::Orientation(p)) {  // a hole is swept over by its outer edge
            Area Swept;
            ClipperLib::MinkowskiSum(p, Path{a, b}, Swept, false);
            All.insert(All.end(), Swept.begin(), Swept.end());
        }
    }
    return Union(All);
}

Area CircleShape(double D) {
    double r = D / 2 * kFillScale;
    if (r < 1) {
        return {};
    }
    // Sides enough for a tolerance of a quarter unit, the corners outside
    // the circle: a clear shape may take a little more copper, never less.
    double Sides = std::ceil(std::numbers::pi / std::acos(std::max(-1.0, 1 - kArcTolerance / r)));
    int n = static_cast<int>(std::clamp(Sides, 8.0, 512.0));
    double Corner = r / std::cos(std::numbers::pi / n) + 1;
    Path p;
    for (int k = 0; k < n; ++k) {
        double t = 2 * std::numbers::pi * k / n;
        p.push_back({std::llround(Corner * std::cos(t)), std::llround(Corner * std::sin(t))});
    }
    return {p};
}

}  // namespace Dize274
