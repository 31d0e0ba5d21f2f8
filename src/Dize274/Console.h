// The console: every message of a run, and the one way a run ends early.
#ifndef LUMARIND_DIZE274_CONSOLE_H
#define LUMARIND_DIZE274_CONSOLE_H

#include <cstdint>
#include <string>
#include <string_view>

namespace Dize274 {

// The reports are rare and kept out of line (cold, noinline): the Gerber
// reader's block execution is flattened, so that the transform and the
// record's digits inline into it on every build, and it would otherwise take
// the reports in too, with their strings and stack. always_inline on those hot
// callees instead leaves the digit writers and the calls across files out of
// line where link-time optimisation does not help: 13 % more instructions.

/// "Line L - WARNING: Msg"; the run goes on.
[[gnu::cold, gnu::noinline]] void Warning(std::string_view Msg);
/// "WARNING: Msg", with no line: what the report at a pass's end says.
void ReportWarning(std::string_view Msg);
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
/// The one place the process exits, alone in Halt.cpp: the fuzzers link a
/// substitute.
[[noreturn]] void Halt(int Code);

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_CONSOLE_H
