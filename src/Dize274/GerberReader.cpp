#include "Dize274/GerberReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "Dize274/ArcGeometry.h"
#include "Dize274/Console.h"
#include "Dize274/FillPass.h"
#include "Dize274/IntParam.h"
#include "Dize274/PcbWriter.h"
#include "Dize274/RunFiles.h"
#include "Dize274/Settings.h"
#include "Gerber/Gerber.h"
#include "Parser/Parser.h"

namespace Dize274 {

namespace {

constexpr int kLastCode = 99;  // of G and M codes

enum class Interpolation : std::uint8_t { Linear, Clockwise, CounterClockwise };
struct PassState {
    // Modal state of the pass: every value stays until the file sets it again.
    std::int32_t GX = 0;
    std::int32_t GY = 0;
    // The last D code from 1 to 9, what every block with a point or an operation
    // executes; an aperture select does not change it.
    std::int32_t Operation = 0;
    std::int32_t Aperture = 0;  // the last D code of 10 or more; 0 until one is selected
    bool BlockHasData = false;  // an X, Y, I, J or operation code since the last "*"
                                // An arc's centre offset belongs to its own block alone.
    std::int32_t BlockI = 0;
    std::int32_t BlockJ = 0;

    Interpolation Mode = Interpolation::Linear;
    bool MultiQuadrant = false;
    // Clear polarity erases what dark polarity drew: the layout cannot, so such
    // objects are left out and counted. A region's fill cannot be held either:
    // its edges are written as the finest lines, whatever the aperture.
    bool Clear = false;
    bool InRegion = false;
    std::uint64_t ClearObjects = 0;
    std::uint64_t Regions = 0;
    // What the next draw and flash write, worked out whenever the aperture, the
    // polarity or the region changes rather than at every operation: a width or
    // pattern code, or -1 for nothing.
    std::int32_t DrawCode = -1;
    std::int32_t FlashCode = -1;
    // Under a fill entry every draw and flash takes the slow way, through
    // FillDraw and FillFlash: regions are held for their fills, clear objects
    // cut them. Without one nothing of the fills runs.
    bool Filling = false;

    // The plotter's point, kept both ways: in the file's units, where an arc
    // starts (the last executed block's point), and transformed, where the
    // next line record starts (set by MoveTo alone).
    std::int32_t StartX = 0;
    std::int32_t StartY = 0;
    std::int32_t CurX = 0;
    std::int32_t CurY = 0;
    double Tolerance = 0;  // of the chords of arcs, for the settings of the pass

    // How many digits a coordinate number of each axis has where the file leaves
    // out trailing zeros; 0 where it does not, so that no number is changed.
    unsigned XWidth = 0;
    unsigned YWidth = 0;
    // What the file says its coordinates are, for the check against the
    // transform: the decimals of each axis once an FS was read, and the unit.
    bool FormatKnown = false;
    unsigned XDecimals = 0;
    unsigned YDecimals = 0;
    Gerber::Unit Units = Gerber::Unit::Unknown;
    bool UnitsWarned = false;  // once a run is enough
};
PassState Pass;

// 64 bits: a count must never wrap to nothing in the report.
std::uint64_t RejectedLines[kLastAperture + 1];
std::uint64_t RejectedPads[kLastAperture + 1];
// Which apertures have a count. Few of the counters are ever used: the report
// and the next pass's reset go by these marks, so that the pages of the
// others are never touched (a page's first touch costs more than a report).
std::uint64_t Counted[kLastAperture / 64 + 1];

void CountRejection(std::uint64_t (&Counts)[kLastAperture + 1]) {
    ++Counts[Pass.Aperture];
    Counted[Pass.Aperture / 64] |= std::uint64_t{1} << (Pass.Aperture % 64);
}

// Calls Visit with each aperture that has a count, in order of D code.
template <typename Visitor>
void ForEachCounted(Visitor Visit) {
    for (std::size_t w = 0; w < std::size(Counted); ++w) {
        for (std::uint64_t Bits = Counted[w]; Bits != 0; Bits &= Bits - 1) {
            Visit(static_cast<int>(w * 64) + std::countr_zero(Bits));
        }
    }
}

// What the number after a code letter may be, and what it means when the file
// ends before it. No message: not a code letter.
struct CodeLetter {
    std::int32_t Min;
    std::int32_t Max;
    std::string_view Missing;
};
constexpr std::array<CodeLetter, 26> kCodeLetters = [] {
    std::array<CodeLetter, 26> t{};
    t['X' - 'A'] = {kFullMin, kFullMax, "X value expected."};
    t['Y' - 'A'] = {kFullMin, kFullMax, "Y value expected."};
    t['I' - 'A'] = {kFullMin, kFullMax, "I value expected."};
    t['J' - 'A'] = {kFullMin, kFullMax, "J value expected."};
    t['D' - 'A'] = {1, kLastAperture, "D code expected."};
    t['G' - 'A'] = {0, kLastCode, "G code expected."};
    t['M' - 'A'] = {0, kLastCode, "M code expected."};
    return t;
}();

constexpr const CodeLetter& Code(char Letter) {
    return kCodeLetters[static_cast<std::size_t>(Letter - 'A')];
}

bool IsCodeLetter(char c) {
    return c >= 'A' && c <= 'Z' && !Code(c).Missing.empty();
}

// A field's number checked against its letter's bounds: the one check.
std::int32_t Checked(char Letter, std::int64_t Value) {
    return CheckRange(Code(Letter).Min, Code(Letter).Max, Value);
}

// A coordinate or centre offset, with the trailing zeros its format left out.
std::int32_t CheckedCoordinate(char Letter, std::int64_t Value, unsigned Digits, unsigned Width) {
    if (Digits < Width) {
        Value = Gerber::RestoreTrailingZeros(Value, Digits, Width);
    }
    return Checked(Letter, Value);
}

void UpdateCodes() {
    if (Pass.Clear || Pass.Filling) {
        Pass.DrawCode = Pass.FlashCode = -1;
        return;
    }
    Pass.DrawCode = Pass.InRegion ? 0 : Pass.Aperture == 0 ? -1 : LineWidth[Pass.Aperture];
    Pass.FlashCode = Pass.Aperture == 0 ? -1 : PadPattern[Pass.Aperture];
}

[[noreturn]] void UnexpectedCharacter(char c) {
    Error("Unexpected character (" + std::string(1, c) + ").");
}

// When the file's unit and format are both known, each axis's transform must
// give thousandths of an inch; the first that does not is named.
void CheckUnits() {
    if (Pass.UnitsWarned || Pass.Units == Gerber::Unit::Unknown || !Pass.FormatKnown) {
        return;
    }
    bool XAgrees = Gerber::UnitsAgree(XMult, XDiv, Pass.Units, Pass.XDecimals);
    if (XAgrees && Gerber::UnitsAgree(YMult, YDiv, Pass.Units, Pass.YDecimals)) {
        return;
    }
    Warning(Gerber::UnitsAdvice(Pass.Units, XAgrees ? Pass.YDecimals : Pass.XDecimals));
    Pass.UnitsWarned = true;
}

void TakeFormat(std::string_view Text) {
    Gerber::CoordinateFormat Format{};
    if (!Gerber::ReadFormat(Text, Format)) {
        return;
    }
    if (Format.Incremental) {
        Error("Incremental coordinates are not supported.");
    }
    Pass.XWidth = Format.OmitsTrailingZeros ? Format.XInteger + Format.XDecimals : 0;
    Pass.YWidth = Format.OmitsTrailingZeros ? Format.YInteger + Format.YDecimals : 0;
    Pass.FormatKnown = true;
    Pass.XDecimals = Format.XDecimals;
    Pass.YDecimals = Format.YDecimals;
    CheckUnits();
}

void SetUnits(Gerber::Unit u) {
    Pass.Units = u;
    CheckUnits();
}

void TakeStepRepeat(std::string_view Text) {
    std::int64_t x = 1;
    std::int64_t y = 1;
    if (Gerber::ReadStepRepeat(Text, x, y) && (x > 1 || y > 1)) {
        Warning("Step and repeat not applied (" + IntToText(x) + " by " + IntToText(y) +
                " copies).");
    }
}

// Each parameter takes effect at its own "*"; one not in its form is skipped,
// as are all the others (apertures, macros, attributes).
void TakeParameter(std::string_view Text) {
    std::string_view Code = Text.substr(0, 2);
    if (Code == "FS") {
        TakeFormat(Text);
    } else if (Code == "MO") {
        if (Gerber::Unit u = Gerber::ReadUnit(Text); u != Gerber::Unit::Unknown) {
            SetUnits(u);
        }
    } else if (Text == "LPC" || Text == "LPD") {
        Pass.Clear = Text == "LPC";
        UpdateCodes();
    } else if (Text == "IPNEG") {
        Warning("Negative image polarity not applied.");
    } else if (Code == "SR") {
        TakeStepRepeat(Text);
    } else if (Gerber::ReadImageParameter(Text) == Gerber::ImageRequest::Change) {
        Warning("Image parameter not applied (" + std::string(Code) + ").");
    }
}

// Under a fill entry the apertures are read too, for what clear objects cut;
// they are scaled by the format and the transform. True: the parameter was
// an aperture's or a macro's.
[[gnu::noinline]] bool TakeShape(std::string_view Text, bool FirstOfBlock) {
    Gerber::Aperture A;
    std::string Why;
    Gerber::Taken t = Gerber::TakeApertureParameter(Text, FirstOfBlock, A, Why);
    if (t == Gerber::Taken::kMalformed) {
        Warning(Why);
    } else if (t == Gerber::Taken::kAperture && Pass.FormatKnown) {
        DefineShape(A.DCode, Gerber::FlashGeometry(A),
                    std::pow(10.0, Pass.XDecimals) * XMult / XDiv,
                    std::pow(10.0, Pass.YDecimals) * YMult / YDiv);
    }
    return t != Gerber::Taken::kOther;
}

// Under a fill entry a macro's outline may run long; no other parameter is
// read longer than without one.
constexpr std::size_t kMaxShapeText = std::size_t{1} << 16;

void TakeBlockParameter(std::string_view Text, bool FirstOfBlock, bool Cut) {
    if (Pass.Filling && !Cut && TakeShape(Text, FirstOfBlock)) {
        return;
    }
    if (!Cut && Text.size() <= Gerber::kMaxParameterText) {
        TakeParameter(Text);
    }
}

// The rare ends of a block, out of line so that the usual ones stay lean.
[[gnu::noinline]] void WarnNoAperture() {
    Warning("No aperture selected.");
}

[[gnu::noinline]] void WarnUnknownD() {
    Warning("Unknown D code (" + IntToText(Pass.Operation) + ").");
}

// A draw or flash that writes nothing says why, once: clear polarity, no
// aperture yet, or one that the table rejects for its kind (Counts).
void Reject(std::uint64_t (&Counts)[kLastAperture + 1]) {
    if (Pass.Clear) {
        ++Pass.ClearObjects;
    } else if (Pass.Aperture == 0) {
        WarnNoAperture();
    } else {
        CountRejection(Counts);
    }
}

// A draw under a fill entry: an edge of the open region, a clear object's
// cut, or a dark line that is written and remembered.
[[gnu::noinline]] void FillDraw(LayoutPoint From, LayoutPoint To) {
    if (Pass.InRegion) {
        AddContourEdge(From, To);
    } else if (Pass.Clear) {
        CutFills(ShapeArea(Pass.Aperture, From, To));
    } else if (Pass.Aperture == 0 || LineWidth[Pass.Aperture] < 0) {
        Reject(RejectedLines);
    } else {
        WriteLineRec(From.X, From.Y, To.X, To.Y, LineWidth[Pass.Aperture]);
        NoteDark(From, To, ShapeReach(Pass.Aperture));
    }
}

[[gnu::noinline]] void FillFlash(LayoutPoint At) {
    if (Pass.Clear) {
        CutFills(ShapeArea(Pass.Aperture, At, At));
    } else if (Pass.Aperture == 0 || PadPattern[Pass.Aperture] < 0) {
        Reject(RejectedPads);
    } else {
        WritePadRec(At.X, At.Y, PadPattern[Pass.Aperture]);
        NoteDark(At, At, ShapeReach(Pass.Aperture));
    }
}

// What a draw or flash without a code does, out of line: the usual ones,
// which write their record, stay as lean as without fills.
[[gnu::noinline]] void DrawOtherwise(std::int32_t x, std::int32_t y) {
    if (Pass.Filling) {
        FillDraw({Pass.CurX, Pass.CurY}, {x, y});
    } else {
        Reject(RejectedLines);
    }
}

[[gnu::noinline]] void FlashOtherwise(std::int32_t x, std::int32_t y) {
    if (Pass.Filling) {
        FillFlash({x, y});
    } else {
        Reject(RejectedPads);
    }
}

void Draw(std::int32_t x, std::int32_t y) {
    if (Pass.DrawCode >= 0) {
        WriteLineRec(Pass.CurX, Pass.CurY, x, y, Pass.DrawCode);
    } else {
        DrawOtherwise(x, y);
    }
}

void Flash(std::int32_t x, std::int32_t y) {
    if (Pass.FlashCode >= 0) {
        WritePadRec(x, y, Pass.FlashCode);
    } else {
        FlashOtherwise(x, y);
    }
}

// A chord's end in layout units; one beyond the range of a coordinate cannot
// be transformed into it either.
std::int32_t TransformEnd(std::int64_t v, std::int32_t (*Transform)(std::int32_t)) {
    if (v < kFullMin || v > kFullMax) {
        Error(kOutOfRangeAfterTransform);
    }
    return Transform(static_cast<std::int32_t>(v));
}

// The plotter's one move, once in each executed block, to the block's point:
// (x, y) in layout units, whether or not a record was written.
void MoveTo(std::int32_t x, std::int32_t y) {
    Pass.CurX = x;
    Pass.CurY = y;
}

// An arc's chords under a fill entry: edges of the open region, one clear
// object, or dark lines. Out of DrawArc, which is flattened: the cuts' code
// would swell it.
[[gnu::noinline]] void FillArc(const GerberPoint* Ends, std::size_t n) {
    std::int32_t x0 = Pass.CurX;
    std::int32_t y0 = Pass.CurY;
    Area Cut;
    for (std::size_t k = 0; k < n; ++k) {
        std::int32_t x = TransformEnd(Ends[k].X, TransformX);
        std::int32_t y = TransformEnd(Ends[k].Y, TransformY);
        if (Pass.Clear && !Pass.InRegion) {
            Area Chord = ShapeArea(Pass.Aperture, {x0, y0}, {x, y});
            Cut.insert(Cut.end(), Chord.begin(), Chord.end());
        } else {
            FillDraw({x0, y0}, {x, y});
        }
        x0 = x;
        y0 = y;
    }
    if (Pass.Clear && !Pass.InRegion) {
        CutFills(Cut);
    }
    MoveTo(x0, y0);
}

// An arc that writes nothing moves the plotter to its end as a line does.
// Out of the block execution, which it would swell, but flattened like it:
// its chords are records as a line's are.
[[gnu::noinline, gnu::flatten]] void DrawArc() {
    std::int32_t w = Pass.DrawCode;
    // Under a fill entry an arc is chords wherever a line would write or
    // draw an edge.
    bool Chords =
        w >= 0 || (Pass.Filling && (Pass.InRegion || Pass.Clear ||
                                    (Pass.Aperture != 0 && LineWidth[Pass.Aperture] >= 0)));
    if (!Chords) {
        std::int32_t x = TransformX(Pass.GX);
        std::int32_t y = TransformY(Pass.GY);
        Reject(RejectedLines);
        MoveTo(x, y);
        return;
    }
    static GerberPoint Ends[kMaxChords];
    ArcDraw Arc{{Pass.StartX, Pass.StartY},
                {Pass.GX, Pass.GY},
                Pass.BlockI,
                Pass.BlockJ,
                Pass.Mode == Interpolation::Clockwise ? Turn::Clockwise : Turn::CounterClockwise,
                Pass.MultiQuadrant};
    std::size_t n = ArcChords(Arc, Pass.Tolerance, Ends);
    if (w < 0) {
        FillArc(Ends, n);
        return;
    }
    std::int32_t x0 = Pass.CurX;
    std::int32_t y0 = Pass.CurY;
    for (std::size_t k = 0; k < n; ++k) {
        std::int32_t x = TransformEnd(Ends[k].X, TransformX);
        std::int32_t y = TransformEnd(Ends[k].Y, TransformY);
        WriteLineRec(x0, y0, x, y, w);
        x0 = x;
        y0 = y;
    }
    MoveTo(x0, y0);
}

// Every draw, move and flash leaves the plotter at its point, whether or not
// a record is written, so that the next line starts where the plotter is.
// Flattened: the transform and the record's writing inline here whatever the
// optimiser's budget, which otherwise decides differently from build to build
// (why not always_inline on them: Console.h).
[[gnu::flatten]] void ExecuteBlock() {
    if (Pass.Operation == 0) {
        return;  // no operation read yet
    }
    if (Pass.Operation > 3) {
        WarnUnknownD();
        return;
    }
    if (Pass.Operation == 1 && Pass.Mode != Interpolation::Linear &&
        (Pass.BlockI != 0 || Pass.BlockJ != 0)) {
        DrawArc();
    } else {
        // The point first: one out of range ends the run whatever the block does.
        std::int32_t x = TransformX(Pass.GX);
        std::int32_t y = TransformY(Pass.GY);
        if (Pass.Operation == 1) {
            Draw(x, y);
        } else if (Pass.Operation == 3) {
            Flash(x, y);
        }
        MoveTo(x, y);
    }
    Pass.StartX = Pass.GX;
    Pass.StartY = Pass.GY;
}

void ReportRejected(int d, std::uint64_t Count, std::string_view What) {
    if (Count > 0) {
        ReportWarning("Rejected code #" + IntToText(d) + " was used (" +
                      IntToText(static_cast<std::int64_t>(Count)) + " times) to draw " +
                      std::string(What) + ".");
    }
}

// What the layout could not hold, after the rejections.
void ReportPass() {
    ForEachCounted([](int d) {
        ReportRejected(d, RejectedLines[d], "lines");
        ReportRejected(d, RejectedPads[d], "pads");
    });
    if (Pass.ClearObjects > 0) {
        ReportWarning("Clear polarity was used (" +
                      IntToText(static_cast<std::int64_t>(Pass.ClearObjects)) +
                      " times); those objects were not written.");
    }
    if (Pass.Regions > 0) {
        ReportWarning("Regions were written as their outlines (" +
                      IntToText(static_cast<std::int64_t>(Pass.Regions)) + " times).");
    }
    if (Pass.Filling) {
        ReportFills();
    }
}

void SelectD(std::int32_t d) {
    if (d >= kFirstAperture) {
        Pass.Aperture = d;
        UpdateCodes();
    } else {
        Pass.Operation = d;
        Pass.BlockHasData = true;
    }
}

void EndBlock() {
    if (Pass.BlockHasData) {
        ExecuteBlock();
    }
    Pass.BlockHasData = false;
    Pass.BlockI = Pass.BlockJ = 0;
}

// A comment runs over line ends to the next "*", which ends its block.
void SkipComment() {
    for (char c = Parser::GetChar(); c != '*'; c = Parser::GetChar()) {
        if (c == Parser::kEndMark) {
            Error("Unexpected end of file in comment.");
        }
    }
    EndBlock();
}

[[gnu::noinline]] void WarnUnknownG(std::int32_t g) {
    Warning("Unknown or unsupported G code (" + IntToText(g) + ").");
}

// The G codes understood; G54 and G90 (aperture select, absolute coordinates)
// say what is assumed anyway. G70 and G71 are not taken as a scale, only
// checked against the transform.
[[gnu::noinline]] void TakeG(std::int32_t g) {
    switch (g) {
        case 1:
            Pass.Mode = Interpolation::Linear;
            break;
        case 2:
            Pass.Mode = Interpolation::Clockwise;
            break;
        case 3:
            Pass.Mode = Interpolation::CounterClockwise;
            break;
        case 4:
            SkipComment();
            break;
        case 74:
            Pass.MultiQuadrant = false;
            break;
        case 75:
            Pass.MultiQuadrant = true;
            break;
        case 36:
            Pass.InRegion = true;
            Pass.Regions += Pass.Filling ? 0 : 1;
            UpdateCodes();
            break;
        case 37:
            if (Pass.Filling && Pass.InRegion) {
                EndRegion(Pass.Clear);
            }
            Pass.InRegion = false;
            UpdateCodes();
            break;
        case 70:
        case 71:
            WarnUnknownG(g);
            SetUnits(g == 70 ? Gerber::Unit::Inch : Gerber::Unit::Millimetre);
            break;
        case 54:
        case 90:
            break;
        default:
            WarnUnknownG(g);
    }
}

[[gnu::noinline]] void TakeM(std::int32_t m) {
    if (m > 2) {
        Warning("Unknown M code (" + IntToText(m) + ").");
    }
}

[[gnu::noinline]] void TakeOtherField(char Letter, std::int64_t Value, unsigned Digits) {
    switch (Letter) {
        case 'I':
            Pass.BlockI = CheckedCoordinate(Letter, Value, Digits, Pass.XWidth);
            Pass.BlockHasData = true;
            break;
        case 'J':
            Pass.BlockJ = CheckedCoordinate(Letter, Value, Digits, Pass.YWidth);
            Pass.BlockHasData = true;
            break;
        case 'G':
            TakeG(Checked(Letter, Value));
            break;
        case 'M':
            TakeM(Checked(Letter, Value));
            break;
        default:
            UnexpectedCharacter(Letter);
    }
}

// One field, whichever way it was read. Tests in the order of their
// frequency: cheaper than a jump.
[[gnu::always_inline]] inline void TakeField(char Letter, std::int64_t Value, unsigned Digits) {
    if (Letter == 'X') {
        Pass.GX = CheckedCoordinate(Letter, Value, Digits, Pass.XWidth);
        Pass.BlockHasData = true;
    } else if (Letter == 'Y') {
        Pass.GY = CheckedCoordinate(Letter, Value, Digits, Pass.YWidth);
        Pass.BlockHasData = true;
    } else if (Letter == 'D') {
        SelectD(Checked(Letter, Value));
    } else {
        TakeOtherField(Letter, Value, Digits);
    }
}

// The fills' start and end, out of line: inlined, they would crowd the main
// loop's reading out of ReadGerber.
[[gnu::noinline]] void StartPassFills() {
    StartFills();
    Gerber::ForgetMacros();
    UpdateCodes();
}

[[gnu::noinline]] void EndPassFills() {
    // A region never closed still covers what its contours enclose.
    if (Pass.InRegion) {
        EndRegion(Pass.Clear);
    }
    WriteFills();
}

void StartPass() {
    ForEachCounted([](int d) { RejectedLines[d] = RejectedPads[d] = 0; });
    std::fill(std::begin(Counted), std::end(Counted), 0);
    Pass = {};
    Pass.Tolerance = ChordTolerance(XMult, XDiv, YMult, YDiv);
    Pass.Filling = FillWidth >= 0;
    if (Pass.Filling) {
        StartPassFills();
    }
}

}  // namespace

void ReadGerber() {
    StartPass();
    WriteLine("Reading Gerber file " + GerberName + " . . .");
    Parser::OpenInput(GerberName);
    OpenPcb();

    for (;;) {
        // Most fields have the plain shape: a loop of their own, with no call
        // on its usual way.
        std::int32_t Value = 0;
        std::uint8_t Digits = 0;
        while (char Letter = Parser::TakePlainField(Value, Digits)) {
            TakeField(Letter, Value, Digits);
        }
        char c = Parser::GetChar();
        if (c == '*') {
            EndBlock();
            continue;
        }
        if (IsCodeLetter(c)) {
            bool Found = false;
            std::int64_t Number = ReadNumber(Found);
            if (!Found) {
                Error(Code(c).Missing);
            }
            TakeField(c, Number, Parser::NumDigits);
            continue;
        }
        switch (c) {
            case ' ':
                break;
            case '%':
                if (!Gerber::ReadParameterBlock(
                        Pass.Filling ? kMaxShapeText : Gerber::kMaxParameterText,
                        TakeBlockParameter)) {
                    Error("Unexpected end of file in parameter block.");
                }
                break;
            case Parser::kEndMark:
                if (Pass.BlockHasData) {
                    Warning("Unfinished block at the end of the file.");
                }
                if (Pass.Filling) {
                    EndPassFills();
                }
                ReportPass();
                Parser::CloseInput();
                ClosePcb();
                return;
            default:
                UnexpectedCharacter(c);
        }
    }
}

}  // namespace Dize274
