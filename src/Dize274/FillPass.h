// The fills of one pass: regions held from their close to the pass's end,
// cut by the clear objects that follow them, then written as lines. Used
// only under a fill entry: without one, nothing here runs or is held.
#ifndef LUMARIND_DIZE274_FILLPASS_H
#define LUMARIND_DIZE274_FILLPASS_H

#include "Dize274/RegionFill.h"

namespace Dize274 {

/// No fills held, no region open, every count 0.
void StartFills();
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
