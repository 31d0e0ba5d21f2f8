// What the token scanner needs of the line source: the current line seen
// without refilling, so that no token spans two lines.
#ifndef LUMARIND_PARSER_LINESOURCE_H
#define LUMARIND_PARSER_LINESOURCE_H

namespace Parser {

/// The character at the current position of the current line; CR at its end.
char LineChar();
/// Steps over the current character; only after it was seen not to be CR.
void Advance();

}  // namespace Parser

#endif  // LUMARIND_PARSER_LINESOURCE_H
