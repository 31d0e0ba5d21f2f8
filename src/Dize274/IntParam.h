// Numbers read with a range check: the one way the configuration and the
// Gerber file's fields are read and bounded.
#ifndef LUMARIND_DIZE274_INTPARAM_H
#define LUMARIND_DIZE274_INTPARAM_H

#include <cstdint>

namespace Dize274 {

/// The full range of a number: -2147483648 is refused too.
inline constexpr std::int32_t kFullMin = -2147483647;
inline constexpr std::int32_t kFullMax = 2147483647;

/// Reads the next number, unchecked (Parser::NumValue); Found is false at the
/// end of the input, and anything but a number ends the run.
std::int64_t ReadNumber(bool& Found);
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

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_INTPARAM_H
