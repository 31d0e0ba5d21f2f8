#include <algorithm>
#include <cstdint>

#include "Dize274/Dize274Internal.h"
#include "Parser/Parser.h"

namespace Dize274 {

namespace {

constexpr std::int32_t kFullMin = -2147483647;
constexpr std::int32_t kFullMax = 2147483647;

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

// Reads the number after a code letter; the end of the input there is an error.
std::int32_t ReadCode(std::int32_t Min, std::int32_t Max, std::string_view Missing) {
    std::int32_t Value = 0;
    bool Found = false;
    ReadIntParam(Min, Max, Value, Found);
    if (!Found) {
        Error(Missing);
    }
    return Value;
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

// The fields of nearly every block, code letters with plain short numbers and
// the block's end, taken straight from the buffer, line after line: no call
// per character, and the position stays in a register. Stops before anything
// else, leaving it to the general loop, which would read these the same way.
// True when it took whole runs and the next is not in sight yet.
bool ReadPlainFields() {
    std::string_view Run = Parser::BufferedLine();
    if (Run.empty()) {
        return false;
    }
    do {
        const char* Start = Run.data();
        const char* End = Start + Run.size();
        const char* p = Start;
        while (p < End) {
            char c = *p;
            std::int32_t Value = 0;
            // Nearly every D code has two digits: the short way for them.
            if (c == 'D' && End - p > 3 && Parser::TwoDigitsAt(p + 1, Value) && Value >= 1) {
                SelectD(Value);
                p += 3;
            } else if (c == 'X' || c == 'Y' || c == 'D') {
                std::size_t n = Parser::ShortNumberAt(p + 1, Value);
                // A number that reaches the end of the run may go on beyond it.
                if (n == 0 || static_cast<std::size_t>(End - p) <= n + 1) {
                    break;
                }
                if (c == 'X') {
                    GX = Value;
                    BlockHasData = true;
                } else if (c == 'Y') {
                    GY = Value;
                    BlockHasData = true;
                } else if (Value >= 1 && Value <= 99) {
                    SelectD(Value);
                } else {
                    break;  // the general loop reports it
                }
                p += n + 1;
            } else if (c == '*') {
                ++p;
                EndBlock();
            } else if (c == ' ') {
                ++p;
            } else {
                break;
            }
        }
        if (p < End) {
            (void)Parser::Take(static_cast<std::size_t>(p - Start));
            return false;
        }
        Run = Parser::Take(Run.size());
    } while (!Run.empty());
    return true;
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
        // Over a line end, if one is next: the run of the next line is marked.
        (void)Parser::PeekChar();
        if (ReadPlainFields()) {
            continue;
        }
        char c = Parser::GetChar();
        switch (c) {
            case 'X':
                GX = ReadCode(kFullMin, kFullMax, "X value expected.");
                BlockHasData = true;
                break;
            case 'Y':
                GY = ReadCode(kFullMin, kFullMax, "Y value expected.");
                BlockHasData = true;
                break;
            case 'D':
                SelectD(ReadCode(1, 99, "D code expected."));
                break;
            case '*':
                EndBlock();
                break;
            case ' ':
                break;
            case '%':
                SkipParameterBlock();
                break;
            case 'G': {
                std::int32_t g = ReadCode(0, 99, "G code expected.");
                if (g != 1 && g != 54 && g != 90) {
                    Warning("Unknown or unsupported G code (" + IntToText(g) + ").");
                }
                break;
            }
            case 'M': {
                std::int32_t m = ReadCode(0, 99, "M code expected.");
                if (m > 2) {
                    Warning("Unknown M code (" + IntToText(m) + ").");
                }
                break;
            }
            case Parser::kCR:
                ReportRejections();
                Parser::CloseInput();
                ClosePcb();
                return;
            default:
                Error("Unexpected character (" + std::string(1, c) + ").");
        }
    }
}

}  // namespace Dize274
