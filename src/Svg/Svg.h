// lumarind-svg, the package's second program: draws a PCB file as an SVG
// picture. These are the calls its files make of each other; no other program
// includes this. The file is read twice (the bounds first, then the drawing)
// through a fixed buffer, so memory stays flat whatever its size.
#ifndef LUMARIND_SVG_SVG_H
#define LUMARIND_SVG_SVG_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Sheet/Sheet.h"
#include "Version.h"

namespace Svg {

// ---- The run and its one exit door ----

/// The program's name and version, as --version prints it and the picture
/// names its maker.
constexpr std::string_view kNameAndVersion = "lumarind-svg " LUMARIND_VERSION;

/// The whole run on the given arguments (empty ones already dropped); returns
/// the exit code of a normal end. The other ends never return.
int RunSvg(const std::vector<std::string>& Args);
/// Text as a line (LF) on standard output; a console that cannot take it
/// ends the run with exit code 1.
void WriteOut(std::string_view Text);
/// Text as a line on standard error.
void WriteErr(std::string_view Text);
/// Ends the run (exit code 1) when standard output is known to take no
/// more: closed, a pipe without a reader, a hung-up terminal.
void CheckConsole();
/// "lumarind-svg: " and Text on standard error, then the end of the run with
/// exit code 1.
[[noreturn]] void Fail(std::string_view Text);
/// Drops the SVG file being written, if any, and ends the process: the only
/// way the program ends other than by returning from main.
[[noreturn]] void EndRun(int Code);

// ---- The PCB file's records ----

enum class Kind : std::uint8_t { kLine, kPad };

struct Record {
    Kind What = Kind::kLine;
    std::int32_t X1 = 0;  ///< a line's start, a pad's position
    std::int32_t Y1 = 0;
    std::int32_t X2 = 0;  ///< a line's end
    std::int32_t Y2 = 0;
    std::uint8_t Code = 0;   ///< a line's width code (0 to 15), a pad's pattern code (0 to 63)
    std::uint8_t Layer = 0;  ///< a line's layer (0 to 15)
};

/// What a reader call found. Every call checks its own file operations.
enum class ReadStatus : std::uint8_t {
    kOk,        ///< a record read; the file opened, rewound or closed
    kEnd,       ///< the layout's closing ")", with nothing but blanks and comments after it
    kBadFile,   ///< not a PCB file: LayoutError() says where and why
    kIOFailed,  ///< a file operation failed: the error is latched in FileIO
};

/// Opens the PCB file Name for reading; it must be a regular file, as it is
/// read twice.
[[nodiscard]] ReadStatus OpenLayout(const std::string& Name);
/// Starts the file again from its first byte, line 1.
[[nodiscard]] ReadStatus RewindLayout();
/// The next record of the layout, checked against the file's syntax and
/// ranges; kEnd after the last one.
[[nodiscard]] ReadStatus NextRecord(Record& R);
/// For kBadFile: "NAME:LINE: what is wrong", one line.
std::string LayoutError();
/// Closes the PCB file.
[[nodiscard]] ReadStatus CloseLayout();

// ---- What the drawing shows, and at what size (layout units) ----

/// A line's nominal width for width code w: 6 + 4w. Even, so its half is whole.
std::int64_t NominalWidth(std::uint8_t w);
/// A pad's nominal radius for pattern code p: 15 + p (a dot 30 + 2p across).
std::int64_t NominalRadius(std::uint8_t p);
/// The two as the picture's texts state them: "6 + 4w", "30 + 2p".
std::string NominalWidthFormula();
std::string NominalDotFormula();
/// From now on lines and pads are drawn with the sizes of the code sheet S,
/// which the picture calls Name: a listed code at its size and shape, any
/// other at its nominal size.
void UseSheet(const Sheet::CodeSheet& S, std::string_view Name);
/// The sheet's name; empty while the nominal sizes are used.
std::string_view SheetName();
/// How wide a line of width code w is drawn.
std::int64_t LineWidth(std::uint8_t w);
/// What a pad of pattern code p is drawn as: the sheet's pattern, or a round
/// pad of the nominal size (Listed false).
Sheet::Pad PadFor(std::uint8_t p);
/// The colour of a layer's lines ("#rrggbb").
std::string_view LayerColour(std::uint8_t Layer);
/// The pads' colour, unlike any layer's.
std::string_view PadColour();

/// The smallest box holding everything drawn, strokes and dots included.
struct Box {
    bool Empty = true;
    std::int64_t MinX = 0;
    std::int64_t MinY = 0;
    std::int64_t MaxX = 0;
    std::int64_t MaxY = 0;
    bool operator==(const Box&) const = default;
};

/// What the first pass learns of the file; the second must learn the same.
struct Summary {
    Box Bounds;
    std::uint64_t Lines = 0;
    std::uint64_t Pads = 0;
    std::uint16_t Layers = 0;        ///< bit l set when a line lies on layer l
    std::uint16_t WidthCodes = 0;    ///< bit w set when a line has width code w
    std::uint64_t PatternCodes = 0;  ///< bit p set when a pad has pattern code p
    bool operator==(const Summary&) const = default;
};
/// Counts R and widens the bounds to hold it, at the sizes it is drawn.
void Tally(Summary& S, const Record& R);
/// The codes S uses that the sheet in use does not list, "width codes 3, 7;
/// pattern codes 12"; empty when there are none or no sheet is used.
std::string UnlistedCodes(const Summary& S);

/// The picture's frame in SVG units: the board's box with a margin, then a
/// strip below it for the caption. The layout's Y axis points up, SVG's down:
/// a point (x, y) is drawn at (x, -y). The caption's letters are sized so
/// that its longest line fits across; where that size is not a whole number
/// from 2 to kMaxFontSize, the caption is drawn at kTextSize and scaled by
/// TextScale (renderers lay text out badly at huge sizes).
struct Frame {
    std::int64_t X = 0;  ///< the viewBox
    std::int64_t Y = 0;
    std::int64_t Width = 0;
    std::int64_t Height = 0;
    std::int64_t FontSize = 0;     ///< the caption's, in its own units
    std::int64_t CaptionLeft = 0;  ///< x of the caption's lines
    std::int64_t CaptionTop = 0;   ///< y of its first baseline
    std::int64_t LinePitch = 0;    ///< from one caption baseline to the next, in its own units
    double TextScale = 0;          ///< 0: the caption's units are the picture's
    std::int64_t MinStroke = 0;    ///< nothing is drawn thinner: half a pixel at PixelWidth
    std::int64_t PixelWidth = 0;   ///< the size a viewer shows it at: the longer side 1000
    std::int64_t PixelHeight = 0;
};
/// CaptionLetters: how many characters the caption's longest line has.
Frame FrameFor(const Box& Bounds, std::size_t CaptionLetters);
/// The caption's lines, which the frame leaves room for.
constexpr int kCaptionLines = 3;
constexpr std::int64_t kMaxFontSize = 100000;
constexpr std::int64_t kTextSize = 10;

// ---- The SVG file ----

/// Text as XML character data or attribute value: markup characters escaped,
/// bytes that are not UTF-8, and control characters, as U+FFFD.
std::string XmlText(std::string_view Text);

/// Opens SvgName through FileIO's replacement (never the file PcbName) and
/// writes the head: the frame, title, note and caption. False with an I/O
/// error latched.
[[nodiscard]] bool OpenSvg(const std::string& SvgName, const std::string& PcbName,
                           const Summary& S);
/// Draws one record; false with an I/O error latched.
[[nodiscard]] bool DrawRecord(const Record& R);
/// Ends the drawing and puts the file in place; false with an I/O error
/// latched (the file is then not in place).
[[nodiscard]] bool CloseSvg();
/// Drops the file being written; nothing when none is open.
void AbandonSvg();

}  // namespace Svg

#endif  // LUMARIND_SVG_SVG_H
