#include <algorithm>
#include <array>
#include <cmath>

#include "Cfg/Cfg.h"
#include "Dize274/Dize274.h"
#include "FileIO/FileIO.h"
#include "Parser/Parser.h"

namespace Cfg {

namespace {

// Every parameter this program reads is short but for a macro's primitives,
// which a free-form outline makes long; none is longer than this in any file
// seen, and the limit bounds what a block costs.
constexpr std::size_t kMaxParameter = 65536;

// What a definition keeps does not grow with the file: the name of a macro
// as far as a comment shows it, and the first few D codes out of range.
constexpr std::size_t kMaxName = 80;
constexpr std::size_t kMaxNoted = 16;

constexpr std::uint8_t kDrawn = 1;
constexpr std::uint8_t kFlashed = 2;

// The pass's state, reset as a whole for each file. Data blocks matter only
// for the aperture in use and the operation, so that the apertures can be
// told apart by what the file does with them.
struct ScanState {
    FileFacts* Facts = nullptr;
    std::int32_t Aperture = 0;   // 0 until one is selected
    std::int32_t Operation = 0;  // the last D01 to D09, modal
    bool BlockHasData = false;
    bool InRegion = false;  // a region's edges stroke nothing
    // Where each D code's definition sits in Facts->Apertures; -1: none yet.
    std::array<std::int32_t, Dize274::kLastAperture + 1> Slot{};
    std::array<std::uint8_t, Dize274::kLastAperture + 1> Use{};
    // The first error, kept until the parameter block it came from is read.
    std::int32_t FailLine = 0;
    std::string Message;
};
ScanState State;

void Stop(std::string Message) {
    if (State.FailLine == 0) {
        State.FailLine = std::max<std::int32_t>(Parser::LineNo, 1);
        State.Message = std::move(Message);
    }
}

// A polygon's outer diameter; a macro's from what it draws, about the mean
// of its dark corners (a regular polygon's centre, however its macro draws it).
double OuterDiameter(const Gerber::Aperture& A) {
    if (A.Primitives.empty()) {
        return A.Stroke;
    }
    std::vector<Gerber::Point> Corners;
    for (const Gerber::Contour& c : Gerber::FlashGeometry(A)) {
        if (c.Dark) {
            Corners.insert(Corners.end(), c.Points.begin(), c.Points.end());
        }
    }
    Gerber::Point Mean;
    for (const Gerber::Point& p : Corners) {
        Mean.X += p.X / static_cast<double>(Corners.size());
        Mean.Y += p.Y / static_cast<double>(Corners.size());
    }
    double Far = 0;
    for (const Gerber::Point& p : Corners) {
        Far = std::max(Far, std::hypot(p.X - Mean.X, p.Y - Mean.Y));
    }
    return 2 * Far;
}

void KeepAperture(Gerber::Aperture&& A) {
    std::int32_t d = A.DCode;
    if (d < Dize274::kFirstAperture || d > Dize274::kLastAperture) {
        std::vector<std::int32_t>& Out = State.Facts->OutOfRange;
        if (Out.size() < kMaxNoted && std::find(Out.begin(), Out.end(), d) == Out.end()) {
            Out.push_back(d);
        }
        return;
    }
    double Outer = A.Kind == Gerber::Shape::kPolygon ? OuterDiameter(A) : 0;
    // The shapes and modifiers are a picture's, not a configuration's.
    A.Primitives = {};
    A.Modifiers = {};
    if (A.Template.size() > kMaxName) {
        A.Template.resize(kMaxName);
    }
    A.Template.shrink_to_fit();
    std::vector<Defined>& All = State.Facts->Apertures;
    std::int32_t& s = State.Slot[static_cast<std::size_t>(d)];
    Defined D{std::move(A), Parser::LineNo, 0, false, false, Outer};
    if (s < 0) {
        s = static_cast<std::int32_t>(All.size());
        All.push_back(std::move(D));
    } else {
        D.Replaced = All[static_cast<std::size_t>(s)].Line;
        All[static_cast<std::size_t>(s)] = std::move(D);
    }
}

// Each parameter at its own "*": the format, the unit and the apertures;
// everything else (attributes, image parameters) says nothing of sizes.
void TakeParameter(std::string_view Text, bool FirstOfBlock, bool Cut) {
    if (State.FailLine != 0) {
        return;
    }
    if (Cut) {
        Stop("Parameter longer than " + std::to_string(kMaxParameter) + " characters.");
        return;
    }
    std::string_view Code = Text.substr(0, 2);
    if (Code == "FS") {
        Gerber::CoordinateFormat Format{};
        if (Gerber::ReadFormat(Text, Format)) {
            if (Format.Incremental) {
                Stop("Incremental coordinates are not supported.");
            }
            State.Facts->FormatKnown = true;
            State.Facts->XDecimals = Format.XDecimals;
            State.Facts->YDecimals = Format.YDecimals;
        }
        return;
    }
    if (Code == "MO") {
        if (Gerber::Unit u = Gerber::ReadUnit(Text); u != Gerber::Unit::Unknown) {
            State.Facts->Units = u;
        }
        return;
    }
    Gerber::Aperture A;
    std::string Why;
    switch (Gerber::TakeApertureParameter(Text, FirstOfBlock, A, Why)) {
        case Gerber::Taken::kAperture:
            KeepAperture(std::move(A));
            break;
        case Gerber::Taken::kMalformed:
            Stop(Why);
            break;
        case Gerber::Taken::kMacro:
        case Gerber::Taken::kOther:
            break;
    }
}

void EndBlock() {
    if (State.BlockHasData && State.Aperture != 0) {
        std::uint8_t& u = State.Use[static_cast<std::size_t>(State.Aperture)];
        if (State.Operation == 1 && !State.InRegion) {
            u |= kDrawn;
        } else if (State.Operation == 3) {
            u |= kFlashed;
        }
    }
    State.BlockHasData = false;
}

// A comment runs over line ends to the next "*", which ends its block.
void SkipComment() {
    for (char c = Parser::GetChar(); c != '*'; c = Parser::GetChar()) {
        if (c == Parser::kEndMark) {
            Stop("Unexpected end of file in comment.");
            return;
        }
    }
    EndBlock();
}

void TakeG(std::int64_t g) {
    switch (g) {
        case 4:
            SkipComment();
            break;
        case 36:
        case 37:
            State.InRegion = g == 36;
            State.Facts->Regions = State.Facts->Regions || g == 36;
            break;
        case 70:
        case 71:
            State.Facts->Units = g == 70 ? Gerber::Unit::Inch : Gerber::Unit::Millimetre;
            break;
        default:
            break;
    }
}

void TakeD(std::int64_t d) {
    if (d >= Dize274::kFirstAperture && d <= Dize274::kLastAperture) {
        State.Aperture = static_cast<std::int32_t>(d);
    } else if (d >= 1 && d < Dize274::kFirstAperture) {
        State.Operation = static_cast<std::int32_t>(d);
        State.BlockHasData = true;
    }
}

void TakeField(char Letter, std::int64_t Value) {
    if (Letter == 'D') {
        TakeD(Value);
    } else if (Letter == 'G') {
        TakeG(Value);
    } else if (Letter == 'X' || Letter == 'Y' || Letter == 'I' || Letter == 'J') {
        State.BlockHasData = true;
    }
}

bool IsCodeLetter(char c) {
    return c == 'X' || c == 'Y' || c == 'I' || c == 'J' || c == 'D' || c == 'G' || c == 'M';
}

// The file from its first byte to its end, or to its first error.
void ReadBlocks() {
    while (State.FailLine == 0) {
        // Most fields have the plain shape: they go by without a call.
        std::int32_t Value = 0;
        std::uint8_t Digits = 0;
        while (char Letter = Parser::TakePlainField(Value, Digits)) {
            TakeField(Letter, Value);
        }
        char c = Parser::GetChar();
        if (c == '*') {
            EndBlock();
        } else if (c == '%') {
            if (!Gerber::ReadParameterBlock(kMaxParameter, TakeParameter)) {
                Stop("Unexpected end of file in parameter block.");
            }
        } else if (c == Parser::kEndMark) {
            return;
        } else if (IsCodeLetter(c)) {
            if (Parser::ScanToken() != Parser::kNumber) {
                Stop("Integer number expected.");
            } else {
                TakeField(c, Parser::NumValue);
            }
        }
        // Any other character is the converter's to judge.
    }
}

}  // namespace

ScanStatus ScanGerber(const std::string& Name, FileFacts& F, std::int32_t& Line,
                      std::string& Message) {
    F = {};
    State = {};
    State.Facts = &F;
    State.Slot.fill(-1);
    Gerber::ForgetMacros();
    Parser::OpenInput(Name);
    if (FileIO::IOError()) {
        return ScanStatus::kIOFailed;
    }
    ReadBlocks();
    Parser::CloseInput();
    if (FileIO::IOError()) {
        return ScanStatus::kIOFailed;
    }
    if (State.FailLine != 0) {
        Line = State.FailLine;
        Message = State.Message;
        return ScanStatus::kBadFile;
    }
    std::sort(F.Apertures.begin(), F.Apertures.end(),
              [](const Defined& a, const Defined& b) { return a.A.DCode < b.A.DCode; });
    for (Defined& D : F.Apertures) {
        std::uint8_t u = State.Use[static_cast<std::size_t>(D.A.DCode)];
        D.Drawn = (u & kDrawn) != 0;
        D.Flashed = (u & kFlashed) != 0;
    }
    return ScanStatus::kOk;
}

}  // namespace Cfg
