// What a flash of an aperture draws: its outlines, their extent, and which
// standard shape, if any, a macro's primitives make.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "Gerber/GerberInternal.h"

namespace Gerber {

namespace {

constexpr double kPi = std::numbers::pi;
// Chords of a full circle: 72 stay within a thousandth of the radius, and
// being a multiple of 4 they put a corner at each extreme of X and Y.
constexpr int kChords = 72;
// Cells across the longer side of the extent when a macro's shape is judged.
constexpr int kGrid = 128;
// The least overlap (intersection over union) with a standard shape of the
// same extent that makes a macro that shape: a rectangle rounded by a
// quarter of its shorter side still is one.
constexpr double kMatch = 0.90;

Point Rotate(Point p, double Degrees) {
    if (Degrees == 0) {
        return p;
    }
    double r = Degrees * kPi / 180;
    // Quarter turns exactly, so that a turned rectangle keeps its extent.
    double q = Degrees / 90;
    if (q == std::floor(q) && std::fabs(q) < 1e9) {
        long Turns = static_cast<long>(q) % 4;
        Turns = Turns < 0 ? Turns + 4 : Turns;
        for (long i = 0; i < Turns; ++i) {
            p = {-p.Y, p.X};
        }
        return p;
    }
    double c = std::cos(r);
    double s = std::sin(r);
    return {p.X * c - p.Y * s, p.X * s + p.Y * c};
}

void RotateAll(Contour& c, double Degrees) {
    for (Point& p : c.Points) {
        p = Rotate(p, Degrees);
    }
}

// An arc from angle From to To (radians, either way), both ends included.
void AddArc(std::vector<Point>& Out, Point Centre, double r, double From, double To) {
    int n = std::max(1, static_cast<int>(std::ceil(std::fabs(To - From) / (2 * kPi) * kChords)));
    for (int i = 0; i <= n; ++i) {
        double a = From + (To - From) * i / n;
        Out.push_back({Centre.X + r * std::cos(a), Centre.Y + r * std::sin(a)});
    }
}

Contour Circle(Point Centre, double r, bool Dark) {
    Contour c{Dark, {}};
    for (int i = 0; i < kChords; ++i) {
        double a = 2 * kPi * i / kChords;
        c.Points.push_back({Centre.X + r * std::cos(a), Centre.Y + r * std::sin(a)});
    }
    return c;
}

// Cuts a round hole of radius r about Centre from c, which goes round it
// the other way from c's first corner.
void AddHole(Contour& c, Point Centre, double r) {
    if (r <= 0 || c.Points.empty()) {
        return;
    }
    Point First = c.Points.front();
    double Start = std::atan2(First.Y - Centre.Y, First.X - Centre.X);
    c.Points.push_back(First);
    for (int i = 0; i <= kChords; ++i) {
        double a = Start - 2 * kPi * i / kChords;
        c.Points.push_back({Centre.X + r * std::cos(a), Centre.Y + r * std::sin(a)});
    }
}

Contour Box(double x0, double y0, double x1, double y1, bool Dark) {
    return {Dark, {{x1, (y0 + y1) / 2}, {x1, y1}, {x0, y1}, {x0, y0}, {x1, y0}}};
}

Contour Obround(double w, double h) {
    Contour c;
    if (w >= h) {
        double r = h / 2;
        double d = w / 2 - r;
        AddArc(c.Points, {d, 0}, r, 0, kPi / 2);
        AddArc(c.Points, {-d, 0}, r, kPi / 2, 3 * kPi / 2);
        AddArc(c.Points, {d, 0}, r, 3 * kPi / 2, 2 * kPi);
        c.Points.pop_back();  // the first again
    } else {
        double r = w / 2;
        double d = h / 2 - r;
        AddArc(c.Points, {0, d}, r, 0, kPi);
        AddArc(c.Points, {0, -d}, r, kPi, 2 * kPi);
        c.Points.pop_back();
    }
    return c;
}

Contour Polygon(Point Centre, double Diameter, int n, double Degrees, bool Dark) {
    Contour c{Dark, {}};
    for (int i = 0; i < n; ++i) {
        Point p = Rotate({Diameter / 2, 0}, Degrees + 360.0 * i / n);
        c.Points.push_back({Centre.X + p.X, Centre.Y + p.Y});
    }
    return c;
}

// A thermal's four pieces about the origin: the ring from ro to ri less a
// cross of gaps g wide.
void AddThermal(std::vector<Contour>& Out, double ro, double ri, double g) {
    double h = g / 2;
    if (h >= ro / std::numbers::sqrt2) {
        return;
    }
    double a = std::asin(h / ro);
    for (int q = 0; q < 4; ++q) {
        Contour c;
        AddArc(c.Points, {0, 0}, ro, a, kPi / 2 - a);
        if (h < ri) {
            double b = std::asin(h / ri);
            AddArc(c.Points, {0, 0}, ri, kPi / 2 - b, b);
        } else {
            c.Points.push_back({h, h});
        }
        RotateAll(c, 90.0 * q);
        Out.push_back(std::move(c));
    }
}

void AddMoire(std::vector<Contour>& Out, const std::vector<double>& v) {
    Point Centre{v[0], v[1]};
    double Step = v[3] + v[4];
    for (int i = 0; i < static_cast<int>(v[5]); ++i) {
        double ro = v[2] / 2 - i * Step;
        if (ro <= 0 || (i > 0 && Step <= 0)) {
            break;
        }
        Contour c = Circle(Centre, ro, true);
        AddHole(c, Centre, ro - v[3]);
        Out.push_back(std::move(c));
    }
    double t = v[6] / 2;
    double l = v[7] / 2;
    Out.push_back(Box(Centre.X - l, Centre.Y - t, Centre.X + l, Centre.Y + t, true));
    Out.push_back(Box(Centre.X - t, Centre.Y - l, Centre.X + t, Centre.Y + l, true));
}

void AddPrimitive(std::vector<Contour>& Out, const Primitive& p) {
    const std::vector<double>& v = p.Values;
    double Rotation = v.back();
    std::size_t First = Out.size();
    switch (p.Code) {
        case 1:
            // Built at its turned centre, so that its extremes stay corners.
            Out.push_back(Circle(Rotate({v[1], v[2]}, Rotation), v[0] / 2, p.Dark));
            return;
        case 20: {
            double dx = v[3] - v[1];
            double dy = v[4] - v[2];
            double Length = std::hypot(dx, dy);
            if (Length == 0) {
                return;
            }
            double nx = -dy / Length * v[0] / 2;
            double ny = dx / Length * v[0] / 2;
            Out.push_back({p.Dark,
                           {{v[1] - nx, v[2] - ny},
                            {v[3] - nx, v[4] - ny},
                            {v[3] + nx, v[4] + ny},
                            {v[1] + nx, v[2] + ny}}});
            break;
        }
        case 21:
            Out.push_back(
                Box(v[2] - v[0] / 2, v[3] - v[1] / 2, v[2] + v[0] / 2, v[3] + v[1] / 2, p.Dark));
            break;
        case 22:
            Out.push_back(Box(v[2], v[3], v[2] + v[0], v[3] + v[1], p.Dark));
            break;
        case 4: {
            Contour c{p.Dark, {}};
            auto n = static_cast<std::size_t>(v[0]);
            for (std::size_t i = 0; i <= n; ++i) {
                c.Points.push_back({v[1 + 2 * i], v[2 + 2 * i]});
            }
            if (c.Points.size() > 1 && c.Points.front().X == c.Points.back().X &&
                c.Points.front().Y == c.Points.back().Y) {
                c.Points.pop_back();
            }
            Out.push_back(std::move(c));
            break;
        }
        case 5:
            Out.push_back(Polygon({v[1], v[2]}, v[3], static_cast<int>(v[0]), 0, p.Dark));
            break;
        case 6:
            AddMoire(Out, v);
            break;
        case 7: {
            std::size_t Start = Out.size();
            AddThermal(Out, v[2] / 2, v[3] / 2, v[4]);
            for (std::size_t i = Start; i < Out.size(); ++i) {
                for (Point& q : Out[i].Points) {
                    q = {q.X + v[0], q.Y + v[1]};
                }
            }
            break;
        }
        default:
            return;
    }
    for (std::size_t i = First; i < Out.size(); ++i) {
        RotateAll(Out[i], Rotation);
    }
}

// ---- Judging a macro's shape on a grid of cells over its extent

struct Grid {
    double Left, Bottom, CellX, CellY;
    int Columns, Rows;
    std::vector<unsigned char> Dark;
};

std::size_t Cell(const Grid& g, int Row, int Column) {
    return static_cast<std::size_t>(Row) * static_cast<std::size_t>(g.Columns) +
           static_cast<std::size_t>(Column);
}

// Sets (or clears) the cells whose centres c covers, row by row, by the
// even-odd rule.
void Paint(Grid& g, const Contour& c) {
    if (c.Points.size() < 3) {
        return;
    }
    double Low = c.Points[0].Y;
    double High = Low;
    for (const Point& p : c.Points) {
        Low = std::min(Low, p.Y);
        High = std::max(High, p.Y);
    }
    int From = std::max(0, static_cast<int>(std::floor((Low - g.Bottom) / g.CellY - 0.5)));
    int To = std::min(g.Rows - 1, static_cast<int>(std::ceil((High - g.Bottom) / g.CellY)));
    std::vector<double> Crossings;
    for (int r = From; r <= To; ++r) {
        double y = g.Bottom + (r + 0.5) * g.CellY;
        Crossings.clear();
        for (std::size_t i = 0; i < c.Points.size(); ++i) {
            const Point& a = c.Points[i];
            const Point& b = c.Points[(i + 1) % c.Points.size()];
            if ((a.Y <= y) != (b.Y <= y)) {
                Crossings.push_back(a.X + (y - a.Y) * (b.X - a.X) / (b.Y - a.Y));
            }
        }
        std::sort(Crossings.begin(), Crossings.end());
        for (std::size_t i = 0; i + 1 < Crossings.size(); i += 2) {
            double c0 = std::ceil((Crossings[i] - g.Left) / g.CellX - 0.5);
            double c1 = std::ceil((Crossings[i + 1] - g.Left) / g.CellX - 0.5);
            int x0 = static_cast<int>(std::clamp(c0, 0.0, static_cast<double>(g.Columns)));
            int x1 = static_cast<int>(std::clamp(c1, 0.0, static_cast<double>(g.Columns)));
            std::fill(g.Dark.begin() + static_cast<std::ptrdiff_t>(Cell(g, r, x0)),
                      g.Dark.begin() + static_cast<std::ptrdiff_t>(Cell(g, r, x1)), c.Dark ? 1 : 0);
        }
    }
}

// Overlap of the painted cells with those for which Inside(x, y) holds.
template <typename Test>
double Overlap(const Grid& g, Test Inside) {
    long Both = 0;
    long Either = 0;
    for (int r = 0; r < g.Rows; ++r) {
        double y = g.Bottom + (r + 0.5) * g.CellY;
        for (int c = 0; c < g.Columns; ++c) {
            double x = g.Left + (c + 0.5) * g.CellX;
            bool a = g.Dark[Cell(g, r, c)] != 0;
            bool b = Inside(x, y);
            Both += a && b ? 1 : 0;
            Either += a || b ? 1 : 0;
        }
    }
    return Either == 0 ? 0 : static_cast<double>(Both) / static_cast<double>(Either);
}

void Classify(Aperture& A, const std::vector<Contour>& Contours) {
    double w = A.Width;
    double h = A.Height;
    if (!(w > 0) || !(h > 0)) {
        return;
    }
    Grid g;
    double Size = std::max(w, h) / kGrid;
    g.Columns = std::max(1, static_cast<int>(std::lround(w / Size)));
    g.Rows = std::max(1, static_cast<int>(std::lround(h / Size)));
    g.Left = A.Left;
    g.Bottom = A.Bottom;
    g.CellX = w / g.Columns;
    g.CellY = h / g.Rows;
    g.Dark.assign(Cell(g, g.Rows, 0), 0);
    for (const Contour& c : Contours) {
        Paint(g, c);
    }
    double cx = A.Left + w / 2;
    double cy = A.Bottom + h / 2;
    Shape Best = Shape::kOther;
    double BestOverlap = kMatch;
    // A later shape must beat an earlier one clearly: a square rounded to a
    // circle is a circle, and an obround as long as wide one too.
    auto Consider = [&](Shape s, double o) {
        if (o > BestOverlap + (Best == Shape::kOther ? 0 : 0.005)) {
            Best = s;
            BestOverlap = o;
            return true;
        }
        return false;
    };
    if (std::fabs(w - h) <= 0.02 * std::max(w, h)) {
        Consider(Shape::kCircle, Overlap(g, [&](double x, double y) {
                     double u = (x - cx) / (w / 2);
                     double v = (y - cy) / (h / 2);
                     return u * u + v * v <= 1;
                 }));
    }
    Consider(Shape::kRectangle, Overlap(g, [](double, double) { return true; }));
    Consider(Shape::kObround, Overlap(g, [&](double x, double y) {
                 double r = std::min(w, h) / 2;
                 double dx = std::max(0.0, std::fabs(x - cx) - (w / 2 - r));
                 double dy = std::max(0.0, std::fabs(y - cy) - (h / 2 - r));
                 return dx * dx + dy * dy <= r * r;
             }));
    // A regular polygon about the painted cells' centroid, with a corner at
    // the dark corner farthest from it.
    double sx = 0;
    double sy = 0;
    long n = 0;
    for (int r = 0; r < g.Rows; ++r) {
        for (int c = 0; c < g.Columns; ++c) {
            if (g.Dark[Cell(g, r, c)] != 0) {
                sx += g.Left + (c + 0.5) * g.CellX;
                sy += g.Bottom + (r + 0.5) * g.CellY;
                ++n;
            }
        }
    }
    if (n == 0) {
        return;
    }
    Point Centre{sx / static_cast<double>(n), sy / static_cast<double>(n)};
    double Far = 0;
    double Angle = 0;
    for (const Contour& c : Contours) {
        for (const Point& p : c.Points) {
            double d = std::hypot(p.X - Centre.X, p.Y - Centre.Y);
            if (c.Dark && d > Far) {
                Far = d;
                Angle = std::atan2(p.Y - Centre.Y, p.X - Centre.X);
            }
        }
    }
    int Vertices = 0;
    for (int k = 3; k <= 12; ++k) {
        // Only a polygon with the same extent: the cells see nothing beyond it.
        double px0 = Centre.X;
        double py0 = Centre.Y;
        double px1 = Centre.X;
        double py1 = Centre.Y;
        for (int i = 0; i < k; ++i) {
            double x = Centre.X + Far * std::cos(Angle + 2 * kPi * i / k);
            double y = Centre.Y + Far * std::sin(Angle + 2 * kPi * i / k);
            px0 = std::min(px0, x);
            py0 = std::min(py0, y);
            px1 = std::max(px1, x);
            py1 = std::max(py1, y);
        }
        double Slack = 2 * Size;
        if (std::fabs(px0 - A.Left) > Slack || std::fabs(py0 - A.Bottom) > Slack ||
            std::fabs(px1 - (A.Left + w)) > Slack || std::fabs(py1 - (A.Bottom + h)) > Slack) {
            continue;
        }
        double Apothem = Far * std::cos(kPi / k);
        bool Better = Consider(
            Shape::kPolygon, Overlap(g, [&](double x, double y) {
                for (int i = 0; i < k; ++i) {
                    double a = Angle + (2 * i + 1) * kPi / k;
                    if ((x - Centre.X) * std::cos(a) + (y - Centre.Y) * std::sin(a) > Apothem) {
                        return false;
                    }
                }
                return true;
            }));
        Vertices = Better ? k : Vertices;
    }
    A.Kind = Best;
    A.Vertices = Best == Shape::kPolygon ? Vertices : 0;
}

}  // namespace

std::vector<Contour> FlashGeometry(const Aperture& A) {
    std::vector<Contour> Out;
    if (!A.Primitives.empty() || A.Template.size() != 1) {
        for (const Primitive& p : A.Primitives) {
            AddPrimitive(Out, p);
        }
        return Out;
    }
    Contour c;
    switch (A.Template[0]) {
        case 'C':
            c = Circle({0, 0}, A.Width / 2, true);
            break;
        case 'R':
            c = Box(-A.Width / 2, -A.Height / 2, A.Width / 2, A.Height / 2, true);
            break;
        case 'O':
            c = Obround(A.Width, A.Height);
            break;
        case 'P':
            c = Polygon({0, 0}, A.Stroke, A.Vertices, A.Rotation, true);
            break;
        default:
            return Out;
    }
    AddHole(c, {0, 0}, A.Hole / 2);
    Out.push_back(std::move(c));
    return Out;
}

void Measure(Aperture& A) {
    std::vector<Contour> Contours = FlashGeometry(A);
    bool Any = false;
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
    for (const Contour& c : Contours) {
        for (const Point& p : c.Points) {
            if (!c.Dark) {
                break;
            }
            x0 = Any ? std::min(x0, p.X) : p.X;
            y0 = Any ? std::min(y0, p.Y) : p.Y;
            x1 = Any ? std::max(x1, p.X) : p.X;
            y1 = Any ? std::max(y1, p.Y) : p.Y;
            Any = true;
        }
    }
    A.Left = x0;
    A.Bottom = y0;
    A.Width = x1 - x0;
    A.Height = y1 - y0;
    if (A.Kind == Shape::kCircle) {
        A.Stroke = A.Width;
    } else if (A.Kind != Shape::kPolygon) {  // a polygon's is its outer diameter, as read
        A.Stroke = std::min(A.Width, A.Height);
    }
    if (!A.Primitives.empty()) {
        Classify(A, Contours);
    }
}

}  // namespace Gerber
