// Shared by the files of the Parser module, and seen by the tests and
// fuzzers: what the token scanner needs of the line source (the current line
// seen without refilling, so that no token spans two lines) and the size of
// the pieces the input is read in.
#ifndef LUMARIND_PARSER_PARSERINTERNAL_H
#define LUMARIND_PARSER_PARSERINTERNAL_H

#include <cstddef>
#include <string_view>

namespace Parser {

/// The size of the pieces the input is read in; the tests and fuzzers put the
/// end of a piece inside their input.
constexpr std::size_t kReadBufferSize = 262144;  // 256 KiB

/// How many bytes past the end of a run (LineRest, NextRun) may be read,
/// though they are never used: the buffer has that much room behind its data.
/// Each reader that looks ahead checks its step against it.
constexpr std::size_t kReadAhead = 32;

/// The character at the current position of the current line; kEndMark at its end.
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

#endif  // LUMARIND_PARSER_PARSERINTERNAL_H
