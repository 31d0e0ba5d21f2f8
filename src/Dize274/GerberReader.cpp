#include <algorithm>
#include <cstdint>

#include "Dize274/Dize274Internal.h"
#include "Parser/Parser.h"

namespace Dize274 {

namespace {

// Modal state of the pass: every value stays until the file sets it again.
std::int32_t GX = 0;
std::int32_t GY = 0;
// The last D code from 1 to 9, what every block with a point or an operation
// executes; an aperture select does not change it.
std::int32_t Operation = 0;
std::int32_t Aperture = 0;  // the last D code of 10 or more; 0 until one is selected
bool BlockHasData = false;  // an X, Y or operation code since the last "*"

// 64 bits: a count must never wrap to nothing in the report.
std::uint64_t RejectedLines[kLastAperture + 1];
std::uint64_t RejectedPads[kLastAperture + 1];

// What the number after a code letter may be, and what it means when the file
// ends before it.
struct CodeBounds {
    std::int32_t Min;
    std::int32_t Max;
    std::string_view Missing;
};
constexpr CodeBounds kXBounds{kFullMin, kFullMax, "X value expected."};
constexpr CodeBounds kYBounds{kFullMin, kFullMax, "Y value expected."};
constexpr CodeBounds kDBounds{1, kLastCode, "D code expected."};
constexpr CodeBounds kGBounds{0, kLastCode, "G code expected."};
constexpr CodeBounds kMBounds{0, kLastCode, "M code expected."};

// Null for a character that is not a code letter.
constexpr const CodeBounds* BoundsOf(char Letter) {
    switch (Letter) {
        case 'X':
            return &kXBounds;
        case 'Y':
            return &kYBounds;
        case 'D':
            return &kDBounds;
        case 'G':
            return &kGBounds;
        case 'M':
            return &kMBounds;
        default:
            return nullptr;
    }
}

// Reads the number after a code letter; the end of the input there is an error.
std::int32_t ReadCode(const CodeBounds& Bounds) {
    std::int32_t Value = 0;
    bool Found = false;
    ReadIntParam(Bounds.Min, Bounds.Max, Value, Found);
    if (!Found) {
        Error(Bounds.Missing);
    }
    return Value;
}

[[noreturn]] void UnexpectedCharacter(char c) {
    Error("Unexpected character (" + std::string(1, c) + ").");
}

void SkipParameterBlock() {
    for (char c = Parser::GetChar(); c != '%'; c = Parser::GetChar()) {
        if (c == Parser::kCR) {
            Error("Unexpected end of file in parameter block.");
        }
    }
}

// The rare ends of a block, out of line so that the usual ones stay lean.
[[gnu::noinline]] void WarnNoAperture() {
    Warning("No aperture selected.");
}

[[gnu::noinline]] void WarnUnknownD() {
    Warning("Unknown D code (" + IntToText(Operation) + ").");
}

// A draw, move or flash leaves the plotter at its point whether or not a
// record is written, so that the next line starts where the plotter is.
void Draw(std::int32_t x, std::int32_t y) {
    if (Aperture == 0) {
        WarnNoAperture();
    } else if (LineWidth[Aperture] >= 0) {
        WriteLineRec(x, y, LineWidth[Aperture]);
        return;
    } else {
        ++RejectedLines[Aperture];
    }
    MoveTo(x, y);
}

void Flash(std::int32_t x, std::int32_t y) {
    if (Aperture == 0) {
        WarnNoAperture();
    } else if (PadPattern[Aperture] < 0) {
        ++RejectedPads[Aperture];
    } else {
        WritePadRec(x, y, PadPattern[Aperture]);
    }
    MoveTo(x, y);
}

// Flattened: the transform and the record's writing inline here whatever the
// optimiser's budget, which otherwise decides differently from build to build.
[[gnu::flatten]] void ExecuteBlock() {
    if (Operation == 0) {
        return;  // no operation read yet
    }
    if (Operation > 3) {
        WarnUnknownD();
        return;
    }
    // The point first: one out of range ends the run whatever the block does.
    std::int32_t x = TransformX(GX);
    std::int32_t y = TransformY(GY);
    if (Operation == 1) {
        Draw(x, y);
    } else if (Operation == 2) {
        MoveTo(x, y);
    } else {
        Flash(x, y);
    }
}

void ReportRejections() {
    for (int d = kFirstAperture; d <= kLastAperture; ++d) {
        if (RejectedLines[d] > 0) {
            WriteLine("WARNING: Rejected code #" + IntToText(d) + " was used (" +
                      IntToText(static_cast<std::int64_t>(RejectedLines[d])) +
                      " times) to draw lines.");
        }
        if (RejectedPads[d] > 0) {
            WriteLine("WARNING: Rejected code #" + IntToText(d) + " was used (" +
                      IntToText(static_cast<std::int64_t>(RejectedPads[d])) +
                      " times) to draw pads.");
        }
    }
}

void SelectD(std::int32_t d) {
    if (d >= kFirstAperture) {
        Aperture = d;
    } else {
        Operation = d;
        BlockHasData = true;
    }
}

void EndBlock() {
    if (BlockHasData) {
        ExecuteBlock();
    }
    BlockHasData = false;
}

[[gnu::noinline]] void TakeG(std::int32_t g) {
    if (g != 1 && g != 54 && g != 90) {
        Warning("Unknown or unsupported G code (" + IntToText(g) + ").");
    }
}

[[gnu::noinline]] void TakeM(std::int32_t m) {
    if (m > 2) {
        Warning("Unknown M code (" + IntToText(m) + ").");
    }
}

[[gnu::noinline]] void TakeOtherField(char Letter, std::int32_t Value) {
    switch (Letter) {
        case 'G':
            TakeG(CheckRange(kGBounds.Min, kGBounds.Max, Value));
            break;
        case 'M':
            TakeM(CheckRange(kMBounds.Min, kMBounds.Max, Value));
            break;
        default:
            UnexpectedCharacter(Letter);
    }
}

// One field: its number is checked here, whichever way it was read. Tests in
// the order of their frequency: cheaper than a jump.
[[gnu::always_inline]] inline void TakeField(char Letter, std::int32_t Value) {
    if (Letter == 'X') {
        GX = CheckRange(kXBounds.Min, kXBounds.Max, Value);
        BlockHasData = true;
    } else if (Letter == 'Y') {
        GY = CheckRange(kYBounds.Min, kYBounds.Max, Value);
        BlockHasData = true;
    } else if (Letter == 'D') {
        SelectD(CheckRange(kDBounds.Min, kDBounds.Max, Value));
    } else {
        TakeOtherField(Letter, Value);
    }
}

}  // namespace

void ReadGerber() {
    std::fill(std::begin(RejectedLines), std::end(RejectedLines), 0);
    std::fill(std::begin(RejectedPads), std::end(RejectedPads), 0);
    GX = GY = Operation = Aperture = 0;
    BlockHasData = false;

    WriteLine("Reading Gerber file " + GerberName + " . . .");
    Parser::OpenInput(GerberName);
    OpenPcb();

    for (;;) {
        // Most fields have the plain shape: a loop of their own, with no call
        // on its usual way.
        std::int32_t Value = 0;
        while (char Letter = Parser::TakePlainField(Value)) {
            TakeField(Letter, Value);
        }
        char c = Parser::GetChar();
        if (c == '*') {
            EndBlock();
            continue;
        }
        if (const CodeBounds* Bounds = BoundsOf(c)) {
            TakeField(c, ReadCode(*Bounds));
            continue;
        }
        switch (c) {
            case ' ':
                break;
            case '%':
                SkipParameterBlock();
                break;
            case Parser::kCR:
                ReportRejections();
                Parser::CloseInput();
                ClosePcb();
                return;
            default:
                UnexpectedCharacter(c);
        }
    }
}

}  // namespace Dize274
