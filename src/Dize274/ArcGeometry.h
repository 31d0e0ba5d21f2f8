// Circular draws cut into straight chords, the only thing a layout of lines
// can hold of them.
#ifndef LUMARIND_DIZE274_ARCGEOMETRY_H
#define LUMARIND_DIZE274_ARCGEOMETRY_H

#include <cstddef>
#include <cstdint>

namespace Dize274 {

/// A point in the Gerber file's own units. 64 bits: a chord's end may lie
/// beyond the range of a coordinate.
struct GerberPoint {
    std::int64_t X;
    std::int64_t Y;
};

enum class Turn : std::uint8_t { Clockwise, CounterClockwise };

/// What a circular draw says: from Start to End around the centre that I and
/// J place, in either quadrant mode.
struct ArcDraw {
    GerberPoint Start;
    GerberPoint End;
    std::int32_t I;
    std::int32_t J;
    Turn Direction;
    bool MultiQuadrant;  ///< false: I and J are distances, their signs found
};

/// No arc has more chords than this; a whole circle has that many at most.
inline constexpr std::size_t kMaxChords = 1024;

/// How far (in Gerber units) a chord may stray from its arc: half a layout
/// unit on the axis that magnifies most; infinite when both multipliers are 0.
double ChordTolerance(std::int32_t XMult, std::int32_t XDiv, std::int32_t YMult, std::int32_t YDiv);

/// Writes the ends of the chords that stand for the arc into Ends, in the
/// order they are drawn, the last being the arc's End itself, and returns how
/// many there are (1 to kMaxChords). Every end lies on the arc within
/// Tolerance, and so does every chord's midpoint, unless the chord count is
/// capped. A draw with I and J both 0 has no centre and gives End alone: a
/// straight line. The same on every build: plain double arithmetic in a fixed
/// order, rounded to the nearest integer with halves to even.
std::size_t ArcChords(const ArcDraw& Arc, double Tolerance, GerberPoint (&Ends)[kMaxChords]);

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_ARCGEOMETRY_H
