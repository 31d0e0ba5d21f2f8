// Extended parameter blocks, "%" to "%": the parameters in them, each ended
// by "*", handed one by one to whoever interprets them.
#ifndef LUMARIND_DIZE274_PARAMETERBLOCK_H
#define LUMARIND_DIZE274_PARAMETERBLOCK_H

#include <cstddef>
#include <string_view>

namespace Dize274 {

/// The longest parameter handed on. Longer ones (aperture macros, attributes)
/// are none that the converter reads, and are skipped.
inline constexpr std::size_t kMaxParameterText = 80;

/// Reads the rest of a parameter block, after its opening "%", up to and
/// including the closing "%". At the "*" of each parameter, with the line
/// number of that "*", calls Take with the parameter's text ("FSLAX24Y24":
/// its two letters first, line ends left out). A parameter not ended by "*"
/// before the "%" is dropped. The end of the input inside the block ends the
/// run.
void ReadParameterBlock(void (*Take)(std::string_view Text));

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_PARAMETERBLOCK_H
