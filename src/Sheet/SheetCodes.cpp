#include <algorithm>
#include <cmath>

#include "Sheet/Sheet.h"

namespace Sheet {

namespace {

// The nearest listed pattern whose shape Fits accepts; -1 when none does.
template <typename Filter>
int NearestAmong(const CodeSheet& S, double X, double Y, Filter Fits) {
    int Best = -1;
    double BestOff = 0;
    for (int c = 0; c < kPatternCodes; ++c) {
        const Pad& P = S.Pads[c];
        if (!P.Listed || !Fits(P.Shape)) {
            continue;
        }
        double Off = std::max(std::abs(P.X - X), std::abs(P.Y - Y));
        if (Best < 0 || Off < BestOff) {  // strictly nearer: ties keep the lower code
            Best = c;
            BestOff = Off;
        }
    }
    return Best;
}

}  // namespace

int NearestWidth(const CodeSheet& S, double Stroke) {
    int Best = -1;
    double BestOff = 0;
    for (int c = 0; c < kWidthCodes; ++c) {
        if (S.Width[c] == 0) {
            continue;
        }
        double Off = std::abs(S.Width[c] - Stroke);
        if (Best < 0 || Off < BestOff) {
            Best = c;
            BestOff = Off;
        }
    }
    return Best;
}

int NearestPad(const CodeSheet& S, PadShape Shape, double X, double Y) {
    int Best = NearestAmong(S, X, Y, [Shape](PadShape Of) { return Of == Shape; });
    return Best >= 0 ? Best : NearestAmong(S, X, Y, [](PadShape) { return true; });
}

std::string_view ShapeName(PadShape Shape) {
    switch (Shape) {
        case PadShape::kRound:
            return "round";
        case PadShape::kRect:
            return "rect";
        case PadShape::kOblong:
            return "oblong";
        case PadShape::kOctagon:
            return "octagon";
    }
    return "round";
}

std::string WidthLine(int Code, std::int32_t Size) {
    return "width " + std::to_string(Code) + " " + std::to_string(Size);
}

std::string PadLine(int Code, const Pad& P) {
    std::string Line = "pad " + std::to_string(Code) + " " + std::string(ShapeName(P.Shape)) + " " +
                       std::to_string(P.X);
    if (P.Shape == PadShape::kRect || P.Shape == PadShape::kOblong) {
        Line += " " + std::to_string(P.Y);
    }
    return Line;
}

}  // namespace Sheet
