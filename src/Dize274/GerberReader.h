// The conversion itself: one pass over the Gerber file.
#ifndef LUMARIND_DIZE274_GERBERREADER_H
#define LUMARIND_DIZE274_GERBERREADER_H

namespace Dize274 {

/// Reads the file GerberName names and writes the PCB file, then reports what
/// the layout could not hold.
void ReadGerber();

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_GERBERREADER_H
