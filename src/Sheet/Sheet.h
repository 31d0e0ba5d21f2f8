// The code sheet: what each width code and pattern code of the design
// system's library draws, in layout units (thousandths of an inch). Its text
// format lives here alone: read by lumarind-cfg and lumarind-svg, written by
// lumarind-cfg --propose through WidthLine and PadLine.
//
//     width C S          width code C (0 to 15) draws lines S wide, round ends
//     pad C round D      pattern code C (0 to 63): a round pad of diameter D
//     pad C rect X Y     a rectangle X wide and Y high
//     pad C oblong X Y   X by Y, half-round ends on its shorter sides
//     pad C octagon D    a regular octagon D across the flats
//
// Words and numbers are separated by blanks, tabs and line ends; "{" to "}"
// is a comment, over lines too. Sizes are integers kMinSize to kMaxSize.
#ifndef LUMARIND_SHEET_SHEET_H
#define LUMARIND_SHEET_SHEET_H

#include <cstdint>
#include <string>
#include <string_view>

namespace Sheet {

inline constexpr int kWidthCodes = 16;    // width codes 0..15
inline constexpr int kPatternCodes = 64;  // pattern codes 0..63
inline constexpr std::int32_t kMinSize = 1, kMaxSize = 100000;

enum class PadShape : std::uint8_t { kRound, kRect, kOblong, kOctagon };

struct Pad {
    bool Listed = false;
    PadShape Shape = PadShape::kRound;
    std::int32_t X = 0;  ///< round and octagon: X = Y = D
    std::int32_t Y = 0;
};

struct CodeSheet {
    std::int32_t Width[kWidthCodes] = {};  ///< 0: not listed
    Pad Pads[kPatternCodes];
};

enum class Status : std::uint8_t { kOk, kBadSheet, kIOFailed };

/// Reads the sheet file Name through the Parser's line source and scanner,
/// with the I/O check the program set. kBadSheet: Line and Message say where
/// and what ("Width code 3 given twice."); kIOFailed: FileIO's error is
/// latched. Out holds what was read before an error.
Status ReadSheet(const std::string& Name, CodeSheet& Out, std::int32_t& Line, std::string& Message);
/// The same for the typical sheet built into the programs (the bytes of
/// examples/typical.sheet).
Status ReadTypicalSheet(CodeSheet& Out, std::int32_t& Line, std::string& Message);
/// What the console shows for the typical sheet.
std::string_view TypicalSheetName();

/// The listed width code nearest Stroke (layout units): smallest
/// |size - Stroke|, the lower code on ties; -1 when none is listed.
int NearestWidth(const CodeSheet& S, double Stroke);
/// The listed pattern nearest a pad of shape Shape, X by Y: smallest
/// max(|dx|, |dy|) among patterns of that shape, among all listed patterns
/// when the sheet has none of it; the lower code on ties; -1 when none is
/// listed.
int NearestPad(const CodeSheet& S, PadShape Shape, double X, double Y);

/// "round", "rect", "oblong", "octagon": the sheet's words.
std::string_view ShapeName(PadShape Shape);
/// The sheet's lines as its one writer spells them (no line end):
/// "width 3 12".
std::string WidthLine(int Code, std::int32_t Size);
/// "pad 17 rect 60 40", "pad 2 round 60".
std::string PadLine(int Code, const Pad& P);

}  // namespace Sheet

#endif  // LUMARIND_SHEET_SHEET_H
