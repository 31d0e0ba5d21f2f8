// What the converter reads of a Gerber file's extended parameters: plain
// functions of a parameter's text, so that each form is checked in one place.
#ifndef LUMARIND_DIZE274_GERBERPARAMETERS_H
#define LUMARIND_DIZE274_GERBERPARAMETERS_H

#include <cstdint>
#include <string_view>

namespace Dize274 {

/// How the file writes its coordinate numbers (its FS parameter).
struct CoordinateFormat {
    bool OmitsTrailingZeros;  ///< T: the numbers are cut after their last significant digit
    bool Incremental;         ///< I: each point relative to the last
    std::uint8_t XInteger;    ///< digits before and after the decimal point, X and I
    std::uint8_t XDecimals;
    std::uint8_t YInteger;  ///< the same for Y and J
    std::uint8_t YDecimals;
};

/// Reads an FS parameter: "FS", the zeros left out (L leading, T trailing, D
/// none; L when absent), A or I, the N, G, D and M fields some older writers
/// give, then X and Y with two digits each. False, with Format unchanged,
/// when Text does not have that form.
bool ReadFormat(std::string_view Text, CoordinateFormat& Format);

/// The value a coordinate number of Digits digits stands for where trailing
/// zeros are left out and Width digits are due: Value times 10 to the power
/// of the digits missing. A result beyond 32 bits stays beyond them (not
/// exactly), so that a range check refuses it.
std::int64_t RestoreTrailingZeros(std::int64_t Value, unsigned Digits, unsigned Width);

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_GERBERPARAMETERS_H
