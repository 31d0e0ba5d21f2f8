// The converter: run driver, console reports, settings, configuration reader,
// Gerber interpreter and PCB writer. This header is what the other modules
// use of it: main runs the conversion, the line source checks its file
// operations through it, and lumarind-cfg writes configurations to its facts.
#ifndef LUMARIND_DIZE274_DIZE274_H
#define LUMARIND_DIZE274_DIZE274_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Dize274 {

/// The whole run on the given arguments (empty ones already dropped); returns
/// the exit code of a normal end. Fatal ends never return.
int RunConversion(const std::vector<std::string>& Args);

// The configuration file's facts, which lumarind-cfg writes to.

/// Apertures are D10 to D9999.
inline constexpr int kFirstAperture = 10;
inline constexpr int kLastAperture = 9999;
/// The largest width code, pad-pattern code and layer; -1 rejects an aperture.
inline constexpr int kMaxWidth = 15;
inline constexpr int kMaxPattern = 63;
inline constexpr int kMaxLayer = 15;
/// The fill entry "0 W S": D code 0, a width code W (0 to kMaxWidth), lines
/// S layout units wide (1 to kMaxFillSize).
inline constexpr std::int32_t kFillEntry = 0;
inline constexpr std::int32_t kMaxFillSize = 100000;
/// The built-in transformation, the same on both axes: 25400 units (of a
/// micrometre) to 1000 (of a thousandth of an inch), the origin at 10000.
inline constexpr std::int32_t kDefaultMult = 1000;
inline constexpr std::int32_t kDefaultDiv = 25400;
inline constexpr std::int32_t kDefaultOffs = 10000;
inline constexpr std::int32_t kDefaultLayer = 10;

/// Ends the run with the I/O report for FileName if an I/O error is latched.
void CheckIO(std::string_view FileName);

// The PCB file, which Lumarind writes and lumarind-svg and the board check
// read: the word kLayoutWord and "(", sections of kLinesWord or kPadsWord and
// "(", each holding records and closed by ")", and the layout's ")". A line
// record is "(x1 y1 x2 y2 width layer)", a pad record "(x y pattern)": 32-bit
// coordinates, a width code to kMaxWidth, a layer to kMaxLayer, a pattern
// code to kMaxPattern. Blanks, line ends and "{...}" comments may come
// between any two of its words, numbers and parentheses.

inline constexpr char kLayoutWord[] = "Layout";
inline constexpr char kLinesWord[] = "Lines";
inline constexpr char kPadsWord[] = "Pads";
inline constexpr std::size_t kLineFields = 6;
inline constexpr std::size_t kPadFields = 3;

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_DIZE274_H
