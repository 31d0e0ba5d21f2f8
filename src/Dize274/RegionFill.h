// Copper areas as the layout can hold them: filled with lines of one width.
// Pure geometry in layout units; the pass's held fills are FillPass.h's.
#ifndef LUMARIND_DIZE274_REGIONFILL_H
#define LUMARIND_DIZE274_REGIONFILL_H

#include <cstdint>
#include <polyclipping/clipper.hpp>
#include <vector>

namespace Dize274 {

struct LayoutPoint {
    std::int32_t X;
    std::int32_t Y;
};
using Contour = std::vector<LayoutPoint>;

/// A line record's ends; its width is the fill's.
struct FillLine {
    std::int32_t X0;
    std::int32_t Y0;
    std::int32_t X1;
    std::int32_t Y1;
};

/// An area in Clipper's integers, kFillScale to a layout unit: offsets and
/// cuts stay exact well below the grid, which only the written ends round to.
using Area = ClipperLib::Paths;
inline constexpr ClipperLib::cInt kFillScale = 16;

/// What a region's contours paint, as gerbv paints it: each contour by the
/// even-odd rule (a cut-in's hole stays open whichever way it turns), the
/// region the union of its contours.
Area RegionArea(const std::vector<Contour>& Contours);
/// What an outline in Clipper's integers encloses, by the even-odd rule.
Area OutlineArea(const ClipperLib::Path& Outline);
/// The union of A's paths, each a set of outer edges and holes.
Area UniteArea(const Area& A);
/// A less what Cuts covers (their union), or with Keep what they have in
/// common.
void CutArea(Area& A, const Area& Cuts, bool Keep = false);
/// Whether A covers anything.
bool IsEmpty(const Area& A);

/// How well lines fit: kThin when some part of the area has no room for a
/// line of the width, which that part then gets a line at most one unit
/// over its edge, or nothing; kTooLarge when a part would take more than
/// kMostScanlines lines across, which it then gets its edge alone.
enum class Cover : std::uint8_t { kFull, kThin, kTooLarge };
inline constexpr std::int64_t kMostScanlines = std::int64_t{1} << 20;
/// Appends to Out the lines of width S (1 or more) that cover A: its boundary
/// inset by S/2 and stroked, and horizontal lines between at most S - 1
/// apart. No line covers a point farther than S/2 from the inset boundary's
/// written points, so nothing lies outside A by more than the rounding of
/// those points to the grid (and one unit more where the cover is kThin).
/// With Within, only the lines of the inset's part within it, and its edges
/// there: a piece of a larger area, cut from it where no edge of the area is
/// nearer than a line's width, is filled as the whole would be there.
Cover FillArea(const Area& A, std::int32_t S, std::vector<FillLine>& Out,
               const Area* Within = nullptr);

/// The area a shape covers (Shape in layout units about its flash point)
/// moved from From to To: a draw with it, or a flash when the two are equal.
Area StrokeArea(const Area& Shape, LayoutPoint From, LayoutPoint To);
/// A circle of diameter D about the origin, as a polygon that contains it.
Area CircleShape(double D);

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_REGIONFILL_H
