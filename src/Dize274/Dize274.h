// The converter: run driver, console reports, settings, configuration reader,
// Gerber interpreter and PCB writer. This header is what main and the scanner
// see of it.
#ifndef LUMARIND_DIZE274_DIZE274_H
#define LUMARIND_DIZE274_DIZE274_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Dize274 {

/// The whole run on the given arguments (empty ones already dropped); returns
/// the exit code of a normal end. Fatal ends never return.
int RunConversion(const std::vector<std::string>& Args);

/// "Line L - WARNING: Msg"; the run goes on.
void Warning(std::string_view Msg);
/// "Line L - ERROR: Msg", then the halt line; ends the run with exit code 1.
[[noreturn]] void Error(std::string_view Msg);
/// Msg, then "Fatal error - program halted."; ends the run with exit code 1.
[[noreturn]] void Fatal(std::string_view Msg);
/// Ends the run with the I/O report for FileName if an I/O error is latched.
void CheckIO(std::string_view FileName);
/// Plain decimal, "-" for negative values.
std::string IntToText(std::int64_t N);

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_DIZE274_H
