// What the converter reads of a Gerber file's extended parameters: plain
// functions of a parameter's text, so that each form is checked in one place.
#ifndef LUMARIND_DIZE274_GERBERPARAMETERS_H
#define LUMARIND_DIZE274_GERBERPARAMETERS_H

#include <cstdint>
#include <string>
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

/// The unit of the file's coordinates, from MO (or G70, G71).
enum class Unit : std::uint8_t { Unknown, Inch, Millimetre };

/// Reads an MO parameter, "MOIN" or "MOMM"; Unknown for any other text.
Unit ReadUnit(std::string_view Text);

/// Whether an axis's transform (Mult, Div) turns coordinates with Decimals
/// decimals of Of into thousandths of an inch, exactly: |Mult| / Div equals
/// 10^(3 - Decimals) for inches, that over 25.4 for millimetres.
bool UnitsAgree(std::int32_t Mult, std::int32_t Div, Unit Of, unsigned Decimals);

/// What to say when they do not: "Coordinates are in units of 0.0001 in: use
/// multiplier 1 and divisor 10 for thousandths of an inch."
std::string UnitsAdvice(Unit Of, unsigned Decimals);

/// Reads SR's repeat counts (1 where a count is absent); false when Text does
/// not have SR's form: "SR", then X and Y counts, I and J steps, each optional.
bool ReadStepRepeat(std::string_view Text, std::int64_t& XCount, std::int64_t& YCount);

/// What an image parameter (OF, SF, MI, IR, AS) asks of the image.
enum class ImageRequest : std::uint8_t {
    Identity,   ///< nothing: offsets and rotation 0, scales 1, no mirror, A to X
    Change,     ///< something the layout does not get
    Malformed,  ///< not in the parameter's form, or not an image parameter
};
ImageRequest ReadImageParameter(std::string_view Text);

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_GERBERPARAMETERS_H
