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
std::int32_t DCode = 0;
std::int32_t Aperture = 0;  // the last D code of 10 or more; 0 until one is selected
bool BlockHasData = false;

// 64 bits: a count must never wrap to nothing in the report.
std::uint64_t RejectedLines[kLastAperture + 1];
std::uint64_t RejectedPads[kLastAperture + 1];

// Reads the number after a code letter; the end of the input there is an error.
// Inline: a call of its own per number costs more than its body.
[[gnu::always_inline]] inline std::int32_t ReadCode(std::int32_t Min, std::int32_t Max,
                                                    std::string_view Missing) {
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

void ExecuteBlock() {
    switch (DCode) {
        case 0:
            break;  // no D code read yet
        case 1:
            if (Aperture == 0) {
                Warning("No aperture selected.");
            } else if (LineWidth[Aperture] < 0) {
                ++RejectedLines[Aperture];
            } else {
                WriteLineRec(TransformX(GX), TransformY(GY), LineWidth[Aperture]);
            }
            break;
        case 2:
            MoveTo(TransformX(GX), TransformY(GY));
            break;
        case 3:
            if (Aperture == 0) {
                Warning("No aperture selected.");
            } else if (PadPattern[Aperture] < 0) {
                ++RejectedPads[Aperture];
            } else {
                WritePadRec(TransformX(GX), TransformY(GY), PadPattern[Aperture]);
            }
            break;
        default:
            if (DCode < kFirstAperture) {
                Warning("Unknown D code (" + IntToText(DCode) + ").");
            }
            break;  // an aperture select only
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

}  // namespace

void ReadGerber() {
    std::fill(std::begin(RejectedLines), std::end(RejectedLines), 0);
    std::fill(std::begin(RejectedPads), std::end(RejectedPads), 0);
    GX = GY = DCode = Aperture = 0;
    BlockHasData = false;

    WriteLine("Reading Gerber file " + GerberName + " . . .");
    Parser::OpenInput(GerberName);
    OpenPcb();

    for (;;) {
        char c = Parser::GetChar();
        // The four characters of nearly every block first, in their usual
        // order: a chain of tests predicts better than a jump table.
        if (c == 'X') {
            GX = ReadCode(kFullMin, kFullMax, "X value expected.");
            BlockHasData = true;
            continue;
        }
        if (c == 'Y') {
            GY = ReadCode(kFullMin, kFullMax, "Y value expected.");
            BlockHasData = true;
            continue;
        }
        if (c == 'D') {
            DCode = ReadCode(1, 99, "D code expected.");
            if (DCode >= kFirstAperture) {
                Aperture = DCode;
            }
            BlockHasData = true;
            continue;
        }
        if (c == '*') {
            if (BlockHasData) {
                ExecuteBlock();
            }
            BlockHasData = false;
            continue;
        }
        switch (c) {
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
