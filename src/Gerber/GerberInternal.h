// What the Gerber module's files share: the macro store, expressions, and
// the measure of what an aperture draws.
#ifndef LUMARIND_GERBER_GERBERINTERNAL_H
#define LUMARIND_GERBER_GERBERINTERNAL_H

#include <string>
#include <string_view>
#include <vector>

#include "Gerber/Gerber.h"

namespace Gerber {

/// The highest $n a macro may use: its variables are an array.
inline constexpr unsigned kMaxVariable = 9999;

/// Evaluates an arithmetic expression of a macro: decimals, $n (Vars[n - 1];
/// 0 where unset), unary + and -, x (or X) and / before + and -, parentheses.
/// False, with Why, for anything else, a nesting deeper than a person writes,
/// or a result that is not a finite number (a division by zero among them).
bool Evaluate(std::string_view Text, const std::vector<double>& Vars, double& Value,
              std::string& Why);

/// Reads a decimal as AD modifiers write it: sign, digits, point, digits.
bool ReadDecimal(std::string_view Text, double& Value);

/// An AM parameter (FirstOfBlock: the "AMname" piece; later ones of the same
/// block: its primitives) stored, or kOther when Text is neither.
Taken TakeMacroParameter(std::string_view Text, bool FirstOfBlock, std::string& Why);

/// The primitives of the macro named Name, evaluated with the modifiers
/// Mods as $1, $2, ...; false with Why when unknown or malformed.
bool EvaluateMacro(std::string_view Name, const std::vector<double>& Mods,
                   std::vector<Primitive>& Out, std::string& Why);

/// Sets A's extent, Stroke and, for a macro, Kind and Vertices from what it draws.
void Measure(Aperture& A);

}  // namespace Gerber

#endif  // LUMARIND_GERBER_GERBERINTERNAL_H
