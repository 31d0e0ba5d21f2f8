// What the token scanner needs of the line source: the current line seen
// without refilling, so that no token spans two lines.
#ifndef LUMARIND_PARSER_LINESOURCE_H
#define LUMARIND_PARSER_LINESOURCE_H

#include <cstddef>
#include <string_view>

namespace Parser {

/// How many bytes past the end of a run (LineRest, NextRun) may be read,
/// though they are never used: the buffer has that much room behind its data.
/// The number reader looks at 8 bytes at a time, the line-end search at 32.
constexpr std::size_t kReadAhead = 32;

/// The character at the current position of the current line; CR at its end.
char LineChar();
/// The characters of the current line from the current position that lie in
/// the buffer: empty only at the end of the line. Valid until the next call;
/// kReadAhead bytes past its end may be read.
std::string_view LineRest();
/// Like LineRest, after going over any line ends first as PeekChar does; empty
/// only at the end of the input. kReadAhead bytes past its end may be read.
std::string_view NextRun();
/// Steps over the current character; only after it was seen not to be CR.
void Advance();
/// Steps over the first n characters of LineRest().
void Advance(std::size_t n);

}  // namespace Parser

#endif  // LUMARIND_PARSER_LINESOURCE_H
