// The PCB file: its header, sections of line and pad records, and its close.
#ifndef LUMARIND_DIZE274_PCBWRITER_H
#define LUMARIND_DIZE274_PCBWRITER_H

#include <cstdint>

namespace Dize274 {

/// Opens PcbName for its new contents and writes the header.
void OpenPcb();
/// A line record from (x0, y0) to (x1, y1) with width code w on the layer.
void WriteLineRec(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                  std::int32_t w);
/// A pad record at (x, y) with pattern code p.
void WritePadRec(std::int32_t x, std::int32_t y, std::int32_t p);
/// Ends the layout and puts the file in place of what PcbName named.
void ClosePcb();
/// Drops an unfinished PCB file: a replaced file stays as it was.
void AbandonPcb();

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_PCBWRITER_H
