// Checks a PCB file against an independent Gerber reader's listing of the same
// layer. The PCB file must have been written with multipliers and divisors 1,
// offsets 0 and every aperture accepted, so that its records carry the file's
// own integers: a line or pad must match exactly, an arc must come out as a run
// of chords whose ends lie on its circle.
//
//   listing_check <listing> <PCB file>
//
// Exit status 0 when they agree, 1 on a mismatch, 2 when a file cannot be read.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "Svg/Svg.h"

namespace {

constexpr int kMaxReported = 20;
// The listing's centres are rounded to whole units.
constexpr double kRadiusSlack = 1;

struct Point {
    std::int64_t X;
    std::int64_t Y;
    bool operator==(const Point&) const = default;
};

std::string Show(Point p) {
    return std::to_string(p.X) + " " + std::to_string(p.Y);
}

// A line record, or a pad record (its position in From).
struct Record {
    bool IsLine;
    Point From;
    Point To;
    std::int64_t Width;
    std::size_t PcbRecord;  // counted from 1
    std::string Text;
};

// One object of the listing: L, P or A, with its arc's centre and sweep.
struct Object {
    char Kind;
    Point From;
    Point To;
    bool NoAperture;  // drawn before any aperture was selected
    bool Clear;
    bool Edge;  // an edge of a region
    double Cx;
    double Cy;
    bool FullCircle;
    std::size_t ListingLine;
};

bool ReadListing(const char* Name, std::vector<Object>& Objects) {
    std::ifstream In(Name);
    std::string Line;
    for (std::size_t n = 1; std::getline(In, Line); ++n) {
        std::istringstream s(Line);
        Object o{};
        o.ListingLine = n;
        std::string Aperture;
        std::string Polarity;
        std::string Region;
        if (!(s >> o.Kind) || o.Kind == '#' || o.Kind == 'R') {
            continue;  // blank, note, region bound
        }
        s >> o.From.X >> o.From.Y;
        if (o.Kind != 'P') {
            s >> o.To.X >> o.To.Y;
        }
        s >> Aperture >> Polarity >> Region;
        if (o.Kind == 'A') {
            std::string Direction;
            double StartAngle = 0;
            double EndAngle = 0;
            s >> o.Cx >> o.Cy >> Direction >> StartAngle >> EndAngle;
            o.FullCircle = o.From == o.To && StartAngle != EndAngle;
        }
        if (!s || (o.Kind != 'L' && o.Kind != 'P' && o.Kind != 'A')) {
            std::cerr << Name << " line " << n << ": not a listing line\n";
            return false;
        }
        o.NoAperture = Aperture == "D0";
        o.Clear = Polarity == "clear";
        o.Edge = Region == "edge";
        Objects.push_back(o);
    }
    return In.eof();
}

// The records, through lumarind-svg's reader of the format.
bool ReadPcb(const char* Name, std::vector<Record>& Records) {
    if (Svg::OpenLayout(Name) != Svg::ReadStatus::kOk) {
        std::cerr << Name << ": cannot be read\n";
        return false;
    }
    Svg::Record R;
    Svg::ReadStatus s = Svg::ReadStatus::kOk;
    while ((s = Svg::NextRecord(R)) == Svg::ReadStatus::kOk) {
        bool IsLine = R.What == Svg::Kind::kLine;
        std::string Text = "(" + std::to_string(R.X1) + " " + std::to_string(R.Y1) + " ";
        Text += IsLine ? std::to_string(R.X2) + " " + std::to_string(R.Y2) + " " +
                             std::to_string(R.Code) + " " + std::to_string(R.Layer) + ")"
                       : std::to_string(R.Code) + ")";
        Records.push_back(
            {IsLine, {R.X1, R.Y1}, {R.X2, R.Y2}, IsLine ? R.Code : 0, Records.size() + 1, Text});
    }
    if (s != Svg::ReadStatus::kEnd) {
        std::cerr << (s == Svg::ReadStatus::kBadFile ? Svg::LayoutError()
                                                     : std::string(Name) + ": a read failed")
                  << "\n";
        return false;
    }
    return Svg::CloseLayout() == Svg::ReadStatus::kOk;
}

struct Walk {
    std::vector<Record> Records;
    std::size_t Next = 0;
    int Mismatches = 0;
    std::size_t Arcs = 0;
    std::size_t Chords = 0;
    double WorstDeviation = 0;  // of a chord end beyond the radii at the arc's ends

    const Record* Peek() const { return Next < Records.size() ? &Records[Next] : nullptr; }
};

void Mismatch(Walk& w, std::size_t ListingLine, const std::string& Expected) {
    const Record* r = w.Peek();
    std::cout << "listing line " << ListingLine << ": expected " << Expected << ", found "
              << (r != nullptr ? "PCB record " + std::to_string(r->PcbRecord) + " " + r->Text
                               : std::string("no more records"))
              << "\n";
    if (++w.Mismatches == kMaxReported) {
        std::cout << "stopped after " << kMaxReported << " mismatches\n";
    }
}

// Clear objects knock out; without an aperture only a region's edge is drawn.
bool Written(const Object& o) {
    return !o.Clear && (!o.NoAperture || o.Edge);
}

// A region's edges are the finest line, whatever aperture is selected.
std::string LineText(const Object& o) {
    return "line " + Show(o.From) + " " + Show(o.To) + (o.Edge ? " width 0" : "");
}

void CheckLine(Walk& w, const Object& o) {
    const Record* r = w.Peek();
    if (r == nullptr || !r->IsLine || r->From != o.From || r->To != o.To ||
        (o.Edge && r->Width != 0)) {
        Mismatch(w, o.ListingLine, LineText(o));
    }
    if (r != nullptr) {
        ++w.Next;
    }
}

void CheckPad(Walk& w, const Object& o) {
    const Record* r = w.Peek();
    if (r == nullptr || r->IsLine || r->From != o.From) {
        Mismatch(w, o.ListingLine, "pad " + Show(o.From));
    }
    if (r != nullptr) {
        ++w.Next;
    }
}

double Distance(Point p, double Cx, double Cy) {
    return std::hypot(static_cast<double>(p.X) - Cx, static_cast<double>(p.Y) - Cy);
}

// Chords from the arc's start, each from the end of the last, until one ends
// at the arc's end (a full circle needs two at least).
void CheckArc(Walk& w, const Object& o) {
    ++w.Arcs;
    double Rs = Distance(o.From, o.Cx, o.Cy);
    double Re = Distance(o.To, o.Cx, o.Cy);
    double Low = std::min(Rs, Re);
    double High = std::max(Rs, Re);
    Point At = o.From;
    for (std::size_t n = 1; w.Mismatches < kMaxReported; ++n) {
        const Record* r = w.Peek();
        if (r == nullptr || !r->IsLine || r->From != At) {
            Mismatch(w, o.ListingLine,
                     "chord " + std::to_string(n) + " of an arc from " + Show(At));
            return;
        }
        double d = Distance(r->To, o.Cx, o.Cy);
        double Deviation = std::max({Low - d, d - High, 0.0});
        w.WorstDeviation = std::max(w.WorstDeviation, Deviation);
        if (Deviation > kRadiusSlack || (o.Edge && r->Width != 0)) {
            std::ostringstream e;
            e << std::fixed << std::setprecision(2) << "chord " << n << " ending within 1 of "
              << Low << " to " << High << " from the centre" << (o.Edge ? " with width 0" : "")
              << " (it ends " << d << " from it)";
            Mismatch(w, o.ListingLine, e.str());
        }
        ++w.Next;
        ++w.Chords;
        At = r->To;
        if (At == o.To && (n >= 2 || !o.FullCircle)) {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: listing_check <listing> <PCB file>\n";
        return 2;
    }
    std::vector<Object> Objects;
    Walk w;
    if (!ReadListing(argv[1], Objects) || !ReadPcb(argv[2], w.Records)) {
        std::cerr << "cannot read " << argv[1] << " and " << argv[2] << "\n";
        return 2;
    }
    for (const Object& o : Objects) {
        if (w.Mismatches >= kMaxReported) {
            break;
        }
        if (!Written(o)) {
            continue;
        }
        if (o.Kind == 'L') {
            CheckLine(w, o);
        } else if (o.Kind == 'P') {
            CheckPad(w, o);
        } else {
            CheckArc(w, o);
        }
    }
    if (w.Mismatches < kMaxReported && w.Peek() != nullptr) {
        Mismatch(w, Objects.empty() ? 0 : Objects.back().ListingLine,
                 "no more records after the last object (" +
                     std::to_string(w.Records.size() - w.Next) + " left over)");
    }
    std::cout << "objects " << Objects.size() << " ("
              << std::count_if(Objects.begin(), Objects.end(), Written)
              << " to be written), records " << w.Records.size() << ", arcs " << w.Arcs
              << ", chords " << w.Chords << ", largest radius deviation " << std::fixed
              << std::setprecision(2) << w.WorstDeviation << ": "
              << (w.Mismatches == 0 ? "agree" : "MISMATCH") << "\n";
    return w.Mismatches == 0 ? 0 : 1;
}
