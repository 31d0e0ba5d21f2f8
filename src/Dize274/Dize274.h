// The converter: run driver, console reports, settings, configuration reader,
// Gerber interpreter and PCB writer. This header is what the other modules
// use of it: main runs the conversion, and the line source checks its file
// operations through it.
#ifndef LUMARIND_DIZE274_DIZE274_H
#define LUMARIND_DIZE274_DIZE274_H

#include <string>
#include <string_view>
#include <vector>

namespace Dize274 {

/// The whole run on the given arguments (empty ones already dropped); returns
/// the exit code of a normal end. Fatal ends never return.
int RunConversion(const std::vector<std::string>& Args);

/// Ends the run with the I/O report for FileName if an I/O error is latched.
void CheckIO(std::string_view FileName);

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_DIZE274_H
