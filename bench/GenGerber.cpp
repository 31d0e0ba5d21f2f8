// Writes a synthetic RS-274-D plot of a given size for the benchmark: mostly
// draws with 6 and 7 digit coordinates, some moves and flashes, an aperture
// change every few hundred blocks, now and then through G54. The same seed
// gives the same bytes on every machine (no library random engines, no sines).
//
//   GenGerber <output> <bytes> [<seed>] [--one-line] [--arcs]
//
// With --arcs most draws are arcs, as CAD programs write them today: G75
// multi-quadrant arcs with I and J, the rounded corners of outlines, whole
// circles and bends, 0.1 to 2 mm in radius, between lines, moves and flashes.
//
// Lines end CR LF; with --one-line every block stays on one line and only the
// last block ends it. Prints the counts the conversion must reproduce:
// "blocks=B draws=D pads=P", and for --arcs " arcs=A chords=C", where D counts
// straight draws only and C the line records the arcs become.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string_view>

namespace {

std::uint64_t RandomState = 0;

// splitmix64: small, fast and fixed, so the files never change.
std::uint64_t NextRandom() {
    std::uint64_t z = (RandomState += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// A number in [Low, High]; the slight bias of the modulo does not matter here.
std::int64_t Between(std::int64_t Low, std::int64_t High) {
    return Low +
           static_cast<std::int64_t>(NextRandom() % static_cast<std::uint64_t>(High - Low + 1));
}

// Written out once it holds kChunk bytes; a block always fits in the rest.
constexpr std::size_t kChunk = 1 << 20;
constexpr std::size_t kRoom = 256;
char Chunk[kChunk + kRoom];
std::size_t ChunkUsed = 0;
std::FILE* Out = nullptr;
std::uint64_t Written = 0;

void FlushChunk() {
    if (ChunkUsed > 0 && std::fwrite(Chunk, 1, ChunkUsed, Out) != ChunkUsed) {
        std::perror("GenGerber: write");
        std::exit(1);
    }
    Written += ChunkUsed;
    ChunkUsed = 0;
}

void PutText(std::string_view Text) {
    if (Text.size() > sizeof Chunk - ChunkUsed) {
        FlushChunk();  // never with the blocks written here
    }
    std::memcpy(Chunk + ChunkUsed, Text.data(), Text.size());
    ChunkUsed += Text.size();
}

void PutNumber(std::int64_t N) {
    char Digits[24];
    PutText(std::string_view(
        Digits,
        static_cast<std::size_t>(std::to_chars(Digits, Digits + sizeof Digits, N).ptr - Digits)));
}

// What the conversion must reproduce.
std::uint64_t Blocks = 0;
std::uint64_t Draws = 0;
std::uint64_t Pads = 0;
std::uint64_t Arcs = 0;
std::uint64_t Chords = 0;

std::string_view Eol = "\r\n";

// The last field and the "*" of a block.
void EndBlock(std::string_view Last) {
    PutText(Last);
    PutText(Eol);
    ++Blocks;
    if (ChunkUsed >= kChunk) {
        FlushChunk();
    }
}

// The closing block is 6 bytes; stop where it makes the file about Target.
bool Full(std::uint64_t Target) {
    return Written + ChunkUsed + 6 >= Target;
}

// Coordinates wander like traces on a 1 m board in 0.1 um units: 100000 to
// 9999999, so 6 or 7 digits.
constexpr std::int64_t kLow = 100000;
constexpr std::int64_t kHigh = 9999999;

std::int64_t Wander(std::int64_t v) {
    v += Between(-40000, 40000);
    return v < kLow ? kLow + (kLow - v) : v > kHigh ? kHigh - (v - kHigh) : v;
}

std::int64_t X = 0;
std::int64_t Y = 0;
std::int64_t UntilApertureChange = 0;

void PutPoint(std::int64_t x, std::int64_t y) {
    PutText("X");
    PutNumber(x);
    PutText("Y");
    PutNumber(y);
}

// Every Low to High blocks (outlines, circles and bends in the arc plot)
// another of the 16 apertures that draw lines with the built-in settings,
// now and then through G54.
void MaybeChangeAperture(std::int64_t Low, std::int64_t High) {
    if (UntilApertureChange-- == 0) {
        if (Between(0, 7) == 0) {
            PutText("G54");
        }
        PutText("D");
        PutNumber(Between(10, 25));
        EndBlock("*");
        UntilApertureChange = Between(Low, High);
    }
}

void WriteLinePlot(std::uint64_t Target) {
    X = Between(kLow, kHigh);
    Y = Between(kLow, kHigh);
    EndBlock("G90*");
    while (!Full(Target)) {
        MaybeChangeAperture(100, 500);
        std::int64_t Kind = Between(0, 99);
        std::string_view Op = "D01*";
        if (Kind < 6) {
            Op = "D02*";  // a jump to a new trace
            X = Between(kLow, kHigh);
            Y = Between(kLow, kHigh);
        } else if (Kind < 12) {
            Op = "D03*";
            ++Pads;
            X = Wander(X);
            Y = Wander(Y);
        } else {
            ++Draws;
            X = Wander(X);
            Y = Wander(Y);
        }
        PutPoint(X, Y);
        EndBlock(Op);
    }
}

// The arc plot. Its coordinates are micrometres, as the built-in settings
// take them (1000 layout units to 25400 file units), and so is the tolerance
// the reader cuts arcs to: half a layout unit, 12.7 um.
constexpr double kTolerance = 0.5 * 25400 / 1000;
constexpr double kPi = std::numbers::pi;

struct Point {
    std::int64_t X;
    std::int64_t Y;
};

// How many chords the reader cuts a multi-quadrant arc into: enough that none
// strays more than the tolerance from the circle, at most 1024 for a whole
// one. The same arithmetic in the same order as the reader's, so the same
// count on the same machine; 0 where the quotient is so near a whole number
// that another order of it might round the other way: such an arc is not used.
std::uint64_t ChordsOf(Point S, Point C, Point E, bool Ccw) {
    auto Sx = static_cast<double>(S.X);
    auto Sy = static_cast<double>(S.Y);
    auto Ex = static_cast<double>(E.X);
    auto Ey = static_cast<double>(E.Y);
    auto Cx = static_cast<double>(C.X);
    auto Cy = static_cast<double>(C.Y);
    double Rmax = std::max(std::hypot(Sx - Cx, Sy - Cy), std::hypot(Ex - Cx, Ey - Cy));
    double ThetaS = std::atan2(Sy - Cy, Sx - Cx);
    double ThetaE = std::atan2(Ey - Cy, Ex - Cx);
    double Delta = Ccw ? ThetaE - ThetaS : ThetaS - ThetaE;
    while (Delta <= 0) {
        Delta += 2 * kPi;  // from 0 to a whole circle where E is S
    }
    if (Rmax <= kTolerance) {
        return 1;
    }
    double Wanted = Delta / (2 * std::acos(1 - kTolerance / Rmax));
    if (std::abs(Wanted - std::round(Wanted)) < 1e-6 * Wanted) {
        return 0;
    }
    double Cap = std::ceil(1024 * Delta / (2 * kPi));
    return static_cast<std::uint64_t>(std::min(std::ceil(Wanted), Cap));
}

// A radius of 0.1 to 2 mm, the small ones the most usual.
std::int64_t Radius() {
    return Between(100, Between(100, 2000));
}

// About R long in a random direction, the same on every machine: square roots
// and quotients are exactly rounded everywhere, sines are not.
Point Towards(double R) {
    std::int64_t a = 0;
    std::int64_t b = 0;
    do {
        a = Between(-1000, 1000);
        b = Between(-1000, 1000);
    } while (a * a + b * b < 250000 || a * a + b * b > 1000000);
    double Length = std::sqrt(static_cast<double>(a * a + b * b));
    return {std::llround(R * static_cast<double>(a) / Length),
            std::llround(R * static_cast<double>(b) / Length)};
}

// The interpolation the plot is in: 1, 2 or 3 for G01, G02, G03. Some CAD
// programs give its code a block of its own, some put it in front of a draw.
int Mode = 1;

void SetMode(int Wanted) {
    if (Wanted != Mode) {
        Mode = Wanted;
        PutText(Wanted == 1 ? "G01" : Wanted == 2 ? "G02" : "G03");
        if (Between(0, 1) == 0) {
            EndBlock("*");
        }
    }
}

void Move(Point P) {
    PutPoint(P.X, P.Y);
    EndBlock("D02*");
    X = P.X;
    Y = P.Y;
}

void Line(Point P) {
    if (P.X == X && P.Y == Y) {
        return;
    }
    SetMode(1);
    PutPoint(P.X, P.Y);
    EndBlock("D01*");
    ++Draws;
    X = P.X;
    Y = P.Y;
}

void Flash(Point P) {
    PutPoint(P.X, P.Y);
    EndBlock("D03*");
    ++Pads;
    X = P.X;
    Y = P.Y;
}

// From the current point to E around C, whose count of chords is n.
void Arc(Point E, Point C, bool Ccw, std::uint64_t n) {
    SetMode(Ccw ? 3 : 2);
    PutPoint(E.X, E.Y);
    PutText("I");
    PutNumber(C.X - X);
    PutText("J");
    PutNumber(C.Y - Y);
    EndBlock("D01*");
    ++Arcs;
    Chords += n;
    X = E.X;
    Y = E.Y;
}

// The outline of a rounded rectangle (a pad, a cut-out, a board): four lines
// and four quarter circles, either way round.
void RoundedRectangle() {
    std::int64_t r = 0;
    std::int64_t w = 0;
    std::int64_t h = 0;
    std::uint64_t n = 0;
    do {
        r = Radius();
        w = 2 * r + Between(0, 20000);
        h = 2 * r + Between(0, 20000);
        // Every corner turns a quarter: one count, clear of a whole number for all four.
        n = ChordsOf({r, 0}, {0, 0}, {0, r}, true);
    } while (n == 0);
    std::int64_t x0 = Between(kLow, kHigh - w);
    std::int64_t y0 = Between(kLow, kHigh - h);
    bool Ccw = Between(0, 1) == 0;
    // Counter-clockwise from the start of the bottom side: corner k ends
    // Ends[2k + 1], turning around Centres[k].
    const Point Ends[8] = {{x0 + w - r, y0},     {x0 + w, y0 + r}, {x0 + w, y0 + h - r},
                           {x0 + w - r, y0 + h}, {x0 + r, y0 + h}, {x0, y0 + h - r},
                           {x0, y0 + r},         {x0 + r, y0}};
    const Point Centres[4] = {
        {x0 + w - r, y0 + r}, {x0 + w - r, y0 + h - r}, {x0 + r, y0 + h - r}, {x0 + r, y0 + r}};
    Move(Ends[7]);
    for (int k = 0; k < 8; ++k) {
        // Clockwise the same sides backwards: side k from Ends[k] to Ends[k - 1].
        int Side = Ccw ? k : 7 - k;
        Point E = Ccw ? Ends[Side] : Ends[(Side + 7) % 8];
        if (Side % 2 == 0) {
            Line(E);
        } else {
            Arc(E, Centres[Side / 2], Ccw, n);
        }
    }
}

// A whole circle (a ring, a hole, a part's outline), sometimes with a pad
// flashed in its centre.
void Circle() {
    Point C{Between(kLow + 2000, kHigh - 2000), Between(kLow + 2000, kHigh - 2000)};
    Point S{};
    bool Ccw = false;
    std::uint64_t n = 0;
    do {
        Point d = Towards(static_cast<double>(Radius()));
        S = {C.X + d.X, C.Y + d.Y};
        Ccw = Between(0, 1) == 0;
        n = ChordsOf(S, C, S, Ccw);
    } while (n == 0);
    Move(S);
    Arc(S, C, Ccw, n);
    if (Between(0, 1) == 0) {
        Flash(C);
    }
}

// A bend of a trace: an arc of less than half a circle, its end rounded onto
// the grid (so its two radii differ a little), either way round.
void Bend() {
    Point S{X, Y};
    Point C{};
    Point E{};
    bool Ccw = false;
    std::uint64_t n = 0;
    do {
        Point d = Towards(static_cast<double>(Radius()));
        C = {S.X - d.X, S.Y - d.Y};
        auto R = std::sqrt(static_cast<double>(d.X * d.X + d.Y * d.Y));
        Point e = Towards(R);
        E = {C.X + e.X, C.Y + e.Y};
        std::int64_t Cross = d.X * e.Y - d.Y * e.X;
        std::int64_t Chord = (E.X - S.X) * (E.X - S.X) + (E.Y - S.Y) * (E.Y - S.Y);
        if (Cross == 0 || 16 * Chord < d.X * d.X + d.Y * d.Y) {
            continue;  // half a circle or a sliver of one: neither is a bend
        }
        Ccw = Cross > 0;
        n = ChordsOf(S, C, E, Ccw);
    } while (n == 0);
    Arc(E, C, Ccw, n);
}

void WriteArcPlot(std::uint64_t Target) {
    X = Between(kLow, kHigh);
    Y = Between(kLow, kHigh);
    EndBlock("G04 Benchmark plot of mostly arcs*");
    EndBlock("%FSLAX43Y43*%");
    EndBlock("%MOMM*%");
    for (int d = 10; d <= 25; ++d) {
        PutText("%ADD");
        PutNumber(d);
        PutText("C,0.");
        PutNumber(100 + 50 * (d - 10));
        EndBlock("*%");
    }
    EndBlock("G90*");
    EndBlock("G75*");
    while (!Full(Target)) {
        MaybeChangeAperture(20, 100);
        std::int64_t Kind = Between(0, 99);
        if (Kind < 20) {
            RoundedRectangle();
        } else if (Kind < 55) {
            Circle();
        } else if (Kind < 92) {
            Bend();
            Line({Wander(X), Wander(Y)});
            Bend();
        } else {
            Flash({Wander(X), Wander(Y)});
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool OneLine = false;
    bool WithArcs = false;
    const char* Args[3] = {nullptr, nullptr, "1"};
    int n = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--one-line") {
            OneLine = true;
        } else if (std::string_view(argv[i]) == "--arcs") {
            WithArcs = true;
        } else if (n < 3) {
            Args[n++] = argv[i];
        } else {
            n = 0;
            break;
        }
    }
    if (n < 2) {
        std::fputs("usage: GenGerber <output> <bytes> [<seed>] [--one-line] [--arcs]\n", stderr);
        return 2;
    }
    std::uint64_t Target = std::strtoull(Args[1], nullptr, 10);
    RandomState = std::strtoull(Args[2], nullptr, 10);
    Out = std::fopen(Args[0], "wb");
    if (Out == nullptr) {
        std::perror(Args[0]);
        return 1;
    }

    if (OneLine) {
        Eol = "";
    }
    if (WithArcs) {
        WriteArcPlot(Target);
    } else {
        WriteLinePlot(Target);
    }
    PutText("M02*\r\n");
    ++Blocks;
    FlushChunk();
    if (std::fclose(Out) != 0) {
        std::perror("GenGerber: close");
        return 1;
    }
    std::printf("blocks=%llu draws=%llu pads=%llu", static_cast<unsigned long long>(Blocks),
                static_cast<unsigned long long>(Draws), static_cast<unsigned long long>(Pads));
    if (WithArcs) {
        std::printf(" arcs=%llu chords=%llu", static_cast<unsigned long long>(Arcs),
                    static_cast<unsigned long long>(Chords));
    }
    std::printf("\n");
    return 0;
}
