// The fills of one pass: regions held from their close to the pass's end,
// cut by the clear objects that follow them, then written as lines. Used
// only under a fill entry: without one, nothing here runs or is held.
#ifndef LUMARIND_DIZE274_FILLPASS_H
#define LUMARIND_DIZE274_FILLPASS_H

#include <cstdint>
#include <vector>

#include "Dize274/RegionFill.h"
#include "Gerber/Gerber.h"

namespace Dize274 {

/// No fills held, no region open, no aperture's shape known, every count 0.
void StartFills();
/// Aperture DCode flashes Outlines (as Gerber::FlashGeometry gives them, in
/// the file's unit about the flash point), XScale and YScale layout units to
/// the file's unit. A later definition replaces it.
void DefineShape(std::int32_t DCode, const std::vector<Gerber::Contour>& Outlines, double XScale,
                 double YScale);
/// What aperture DCode covers drawn from From to To (a flash: the two
/// equal); empty when its shape is not known.
Area ShapeArea(std::int32_t DCode, LayoutPoint From, LayoutPoint To);
/// How far its copper reaches from the flash point, 0 when not known.
double ShapeReach(std::int32_t DCode);
/// An edge of the open region, in layout units; one that does not start
/// where the last ended starts a new contour.
void AddContourEdge(LayoutPoint From, LayoutPoint To);
/// Closes the region: a dark one is held for its fill, a clear one cuts the
/// fills held.
void EndRegion(bool Clear);
/// A clear object's area (empty: a shape not known) cuts the fills held.
void CutFills(const Area& A);
/// A dark line or pad written whole, reaching Reach units from the segment
/// From-To: a later clear object over it is counted.
void NoteDark(LayoutPoint From, LayoutPoint To, double Reach);
/// Writes the held fills' lines with the fill's width code, in the order the
/// regions came.
void WriteFills();
/// The report lines of the fills, each only when its count is above 0.
void ReportFills();

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_FILLPASS_H
