// State and calls shared by the files of the Dize274 module. Only
// src/Dize274/ and the tests include this.
#ifndef LUMARIND_DIZE274_DIZE274INTERNAL_H
#define LUMARIND_DIZE274_DIZE274INTERNAL_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Dize274/Dize274.h"

namespace Dize274 {

// ---- Run driver ----

/// The sentinel CfgName holds when no configuration file is used.
inline constexpr std::string_view kNoConfig = "<none>";

inline std::string GerberName;
inline std::string PcbName;
inline std::string CfgName;

// ---- Console ----

// The reports are rare and out of line: a caller flattened for speed must not
// take them in, with the strings and the stack they need.

/// "Line L - WARNING: Msg"; the run goes on.
[[gnu::cold, gnu::noinline]] void Warning(std::string_view Msg);
/// "Line L - ERROR: Msg", then the halt line; ends the run with exit code 1.
[[noreturn, gnu::cold, gnu::noinline]] void Error(std::string_view Msg);
/// Msg, then "Fatal error - program halted."; ends the run with exit code 1.
[[noreturn, gnu::cold, gnu::noinline]] void Fatal(std::string_view Msg);
/// Plain decimal, "-" for negative values.
std::string IntToText(std::int64_t N);

/// One console line ending in CR LF; a failed write ends the run (exit code 1).
void WriteLine(std::string_view Text);
/// Ends the run quietly (exit code 1) when the console is known to take no
/// more: a pipe without a reader, a hung-up terminal, a closed descriptor.
void CheckConsole();
/// Ends the process: drops an unfinished PCB file, then exits with Code.
[[noreturn]] void EndRun(int Code);
/// The one place the process exits; the fuzzers link a substitute.
[[noreturn]] void Halt(int Code);

// ---- Integer parameters and the bounds of every field ----

/// Coordinates, multipliers and offsets: -2147483648 is refused too.
inline constexpr std::int32_t kFullMin = -2147483647;
inline constexpr std::int32_t kFullMax = 2147483647;
/// D, G and M codes end at 99; apertures start at D10.
inline constexpr int kFirstAperture = 10;
inline constexpr int kLastAperture = 99;
inline constexpr int kLastCode = 99;
/// The largest width code, pad-pattern code and layer; -1 rejects an aperture.
inline constexpr int kMaxWidth = 15;
inline constexpr int kMaxPattern = 63;
inline constexpr int kMaxLayer = 15;

/// Reads the next number into Value, checked against [Min, Max]; Found is
/// false at the end of the input. Anything but a number ends the run.
void ReadIntParam(std::int32_t Min, std::int32_t Max, std::int32_t& Value, bool& Found);
/// The error for a number outside [Min, Max].
[[noreturn, gnu::cold, gnu::noinline]] void RangeError(std::int32_t Min, std::int32_t Max);
/// Value, or the range error of [Min, Max] when it lies outside.
inline std::int32_t CheckRange(std::int32_t Min, std::int32_t Max, std::int64_t Value) {
    if (Value < Min || Value > Max) {
        RangeError(Min, Max);
    }
    return static_cast<std::int32_t>(Value);
}

// ---- Settings ----

/// The built-in transformation, the same on both axes: 25400 units (of a
/// micrometre) to 1000 (of a thousandth of an inch), the origin at 10000.
inline constexpr std::int32_t kDefaultMult = 1000;
inline constexpr std::int32_t kDefaultDiv = 25400;
inline constexpr std::int32_t kDefaultOffs = 10000;
inline constexpr std::int32_t kDefaultLayer = 10;

inline constinit std::int32_t XMult = kDefaultMult;
inline constinit std::int32_t XDiv = kDefaultDiv;
inline constinit std::int32_t XOffs = kDefaultOffs;
inline constinit std::int32_t YMult = kDefaultMult;
inline constinit std::int32_t YDiv = kDefaultDiv;
inline constinit std::int32_t YOffs = kDefaultOffs;
inline constinit std::int32_t Layer = kDefaultLayer;
/// Indexed by D code; entries below kFirstAperture are unused.
inline constinit std::int32_t LineWidth[kLastAperture + 1] = {};
inline constinit std::int32_t PadPattern[kLastAperture + 1] = {};

void InitPatternTable();
/// For the tests: (v - o) * m / q, rounded to nearest with halves to even;
/// exact for every 32-bit v, o, m and every q >= 1. TransformX and TransformY
/// compute the same.
std::int64_t ScaleCoordinate(std::int32_t v, std::int32_t o, std::int32_t m, std::int32_t q);
/// The PCB coordinates of a Gerber point; a result beyond 32 bits ends the run.
std::int32_t TransformX(std::int32_t x);
std::int32_t TransformY(std::int32_t y);

// ---- Configuration and Gerber passes ----

void ReadConfig();
void ReadGerber();

// ---- PCB writer ----

void OpenPcb();
void MoveTo(std::int32_t x, std::int32_t y);
void WriteLineRec(std::int32_t x, std::int32_t y, std::int32_t w);
void WritePadRec(std::int32_t x, std::int32_t y, std::int32_t p);
void ClosePcb();
/// Drops an unfinished PCB file: a replaced file stays as it was.
void AbandonPcb();

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_DIZE274INTERNAL_H
