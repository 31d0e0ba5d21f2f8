// lumarind-cfg, the package's third program: writes the configuration that
// maps a Gerber file's own apertures to the codes of a code sheet, and
// proposes the sheet a board's layers need. These are the calls its files
// make of each other; no other program includes this. The Gerber file is read
// once, streaming, so memory stays flat whatever its size; what is kept is
// bounded by the apertures it can define.
#ifndef LUMARIND_CFG_CFG_H
#define LUMARIND_CFG_CFG_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Gerber/Gerber.h"
#include "Sheet/Sheet.h"
#include "Version.h"

namespace Cfg {

// ---- The run, its console and its one exit door ----

/// The program's name and version, as --version prints it and the
/// configuration names its maker.
constexpr std::string_view kNameAndVersion = "lumarind-cfg " LUMARIND_VERSION;

/// The whole run on the given arguments (empty ones already dropped); returns
/// the exit code of a normal end. The other ends never return.
int RunCfg(const std::vector<std::string>& Args);
/// Text as a line (LF) on standard output; a console that cannot take it
/// ends the run with exit code 1.
void WriteOut(std::string_view Text);
/// Ends the run (exit code 1) when standard output is known to take no
/// more: closed, a pipe without a reader, a hung-up terminal.
void CheckConsole();
/// "Line N - ERROR: Message" (no line part when Line is 0), then the end of
/// the run with exit code 1.
[[noreturn]] void Fail(std::int32_t Line, std::string_view Message);
/// The latched I/O error's text for Name, then the end of the run (exit 1).
[[noreturn]] void FailIO(const std::string& Name);
/// Drops the file being written, if any, and ends the process: the only way
/// the program ends other than by returning from main.
[[noreturn]] void EndRun(int Code);

// ---- The command line ----

/// The fill's line where no width code is named: the sheet's width nearest
/// this many layout units fills the regions.
constexpr std::int32_t kFillLine = 8;

enum class Request : std::uint8_t { kConvert, kPropose, kHelp, kVersion, kWrong };

struct Options {
    std::string SheetName;  ///< empty: the typical sheet built in
    std::int32_t Layer = 0;
    bool Fill = true;  ///< false: no fill entry (--no-fill)
    /// The fill's width code (--fill-width); -1: the width nearest kFillLine.
    std::int32_t FillWidth = -1;
    std::vector<std::string> GerberNames;  ///< one to convert, one or more to propose for
    std::string CfgName;                   ///< the configuration (convert) or the sheet (propose)
};

/// What the arguments ask for; kWrong with Why saying what is wrong.
Request ReadCommandLine(const std::vector<std::string>& Args, Options& O, std::string& Why);
/// The usage lines, for --help and a wrong command line.
std::string_view Usage();

// ---- What a Gerber file says of itself ----

/// An aperture as the file last defined it, and how the file uses it.
struct Defined {
    Gerber::Aperture A;
    std::int32_t Line = 0;      ///< of its definition
    std::int32_t Replaced = 0;  ///< line of an earlier definition it replaced; 0: none
    bool Drawn = false;         ///< used for a draw (D01) outside a region
    bool Flashed = false;       ///< used for a flash (D03)
    /// A polygon's outer diameter, in the file's unit: a P template's as
    /// given, a macro's twice its farthest dark corner from their mean.
    double Outer = 0;
};

struct FileFacts {
    Gerber::Unit Units = Gerber::Unit::Unknown;
    bool FormatKnown = false;
    unsigned XDecimals = 0;
    unsigned YDecimals = 0;
    bool Regions = false;                  ///< a G36 seen: a fill has something to fill
    std::vector<Defined> Apertures;        ///< in D-code order
    std::vector<std::int32_t> OutOfRange;  ///< D codes defined that a configuration cannot
                                           ///< hold (the first 16)
};

enum class ScanStatus : std::uint8_t { kOk, kBadFile, kIOFailed };

/// Reads the Gerber file Name once. kBadFile: Line and Message say where and
/// what; kIOFailed: FileIO's error is latched.
ScanStatus ScanGerber(const std::string& Name, FileFacts& F, std::int32_t& Line,
                      std::string& Message);

// ---- Sizes in layout units (thousandths of an inch) ----

/// A size in the file's unit in layout units; an unknown unit counts as
/// millimetres, as the built-in transform does.
double ToLayout(double Size, Gerber::Unit Of);
/// The unit's name as the comments write it: "in", "mm", "mm (assumed)".
std::string_view UnitName(Gerber::Unit Of);
/// The pad an aperture flashes, in layout units.
struct PadSize {
    Sheet::PadShape Shape = Sheet::PadShape::kRound;
    double X = 0;
    double Y = 0;
};
PadSize PadOf(const Defined& D, Gerber::Unit Of);
/// A polygon's smallest width, which an octagon pattern's size (across the
/// flats) stands for: across the flats for an even number of vertices, from
/// a flat to the opposite corner for an odd one; in the file's unit.
double Across(const Defined& D);
/// The relative error of Size standing for Want (0.1 is 10 %).
double Off(double Size, double Want);
/// The relative error of pattern P standing for the pad Want: the larger of
/// the two sides'.
double PadOff(const Sheet::Pad& P, const PadSize& Want);

// ---- The configuration ----

/// Each axis's transform to layout units; false when the file gives no unit
/// or no format (the built-in pair then).
bool TransformOf(const FileFacts& F, std::int32_t& XMult, std::int32_t& XDiv, std::int32_t& YMult,
                 std::int32_t& YDiv);

/// What the configuration says of one aperture, and how far off it is.
struct Choice {
    int Width = -1;    ///< width code; -1: none listed
    int Pattern = -1;  ///< pattern code; -1: none listed
    double WidthOff = 0;
    double PatternOff = 0;
};
Choice Choose(const Defined& D, Gerber::Unit Of, const Sheet::CodeSheet& S);

/// What an aperture is, in the file's unit and in layout units:
/// "rectangle 1.2 x 0.8 mm = 47.2 x 31.5 mil", a polygon with its width
/// across.
std::string Describe(const Defined& D, Gerber::Unit Of);
/// A relative error as the texts write it: "5 %".
std::string Percent(double Off);
/// What was chosen and how far off: "width 3 is 30, 5 % off".
std::string WidthChoiceText(const Choice& c, const Sheet::CodeSheet& S);
std::string PatternChoiceText(const Choice& c, const Sheet::CodeSheet& S);

/// The configuration file's text for the file GerberName, CR LF line ends;
/// with the fill entry of width code FillCode unless it is -1.
std::string ConfigText(const std::string& GerberName, const FileFacts& F, const Sheet::CodeSheet& S,
                       std::string_view SheetName, std::int32_t Layer, int FillCode);

// ---- The proposed sheet ----

/// One layer's apertures, for the sheet that fits them all.
struct LayerFacts {
    std::string Name;
    FileFacts Facts;
};
/// The sheet's text: at most 16 widths and 64 patterns standing for the
/// layers' strokes and pads, the nearest merged where there are more. Worst
/// says the largest relative error a merge left.
std::string ProposeText(const std::vector<LayerFacts>& Layers, double& WorstWidth, double& WorstPad,
                        int& Widths, int& Patterns);

/// Text as a comment can hold it: braces become parentheses.
std::string CommentSafe(std::string_view Text);

}  // namespace Cfg

#endif  // LUMARIND_CFG_CFG_H
