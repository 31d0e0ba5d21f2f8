// Decimal text written straight into the layout writer's buffer: the numbers
// of every record, as IntToText writes them, each followed by a blank.
#ifndef LUMARIND_DIZE274_DECIMALTEXT_H
#define LUMARIND_DIZE274_DECIMALTEXT_H

#include <cstddef>
#include <cstdint>

namespace Dize274 {

/// The longest text a number gives: "-2147483648 ".
inline constexpr std::size_t kMaxDecimal = 12;
/// How far past the end it returns a call below may write: the digits go out
/// eight bytes at a time. The buffer written into must have this much room.
inline constexpr std::size_t kDecimalOverrun = 8;

/// Writes N in decimal ("-" for a negative value) and a blank at Out; returns
/// the end of the text.
char* PutDecimal(char* Out, std::int32_t N);
/// Writes x and y as two PutDecimal calls would, both at once where it can.
char* PutDecimalPair(char* Out, std::int32_t x, std::int32_t y);

}  // namespace Dize274

#endif  // LUMARIND_DIZE274_DECIMALTEXT_H
