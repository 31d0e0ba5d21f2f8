// Input scanning: one text at a time, from a file or from memory, read as
// lines and characters with a line counter, and a token scanner on it. Every
// program of the package reads its texts here, and says how a failed file
// operation is reported.
//
// A line ends at CR, at LF or at CR LF; a Ctrl-Z ends the input. Nothing here
// holds a whole line or a whole token: the input streams through a fixed
// buffer, so memory stays flat whatever its shape.
#ifndef LUMARIND_PARSER_PARSER_H
#define LUMARIND_PARSER_PARSER_H

#include <cstdint>
#include <string>
#include <string_view>

namespace Parser {

/// Scanner status: what the last scan found, or why no character is available.
/// 5 and 6 are not used: a failed read ends the input (and the program's check
/// sees it), and lines of every length are read whole.
enum Status : std::uint8_t {
    kOther = 0,        ///< another character (in CurChar), or a sign without a digit
    kName = 1,         ///< a name (its start in TextValue)
    kNumber = 2,       ///< a number (in NumValue)
    kPercent = 3,      ///< a percent text (its start in TextValue)
    kEndOfInput = 4,   ///< no more input
    kOpenPercent = 7,  ///< a percent text not closed on its line
};

/// The character handed out at the end of the input (and that ends a line).
constexpr char kCR = '\r';

/// Lines read from the current file since it was opened; 0 before the first.
extern std::int32_t LineNo;
/// The status left by the last refill or scan; ScanToken returns it too.
extern Status ScanStatus;
/// The character last fetched by GetChar or examined by ScanToken; the
/// readers take it from the calls' results, the tests look at it here.
extern char CurChar;
/// The value of the last number token. Values beyond 32 bits saturate far
/// outside every accepted range, so a range check sees them as the overflow
/// they are.
extern std::int64_t NumValue;
/// How many digits the last number token has, leading zeros counted, the sign
/// not; counts beyond kMaxDigits stay there. Formats that leave out trailing
/// zeros need it.
extern std::uint8_t NumDigits;
constexpr std::uint8_t kMaxDigits = 255;
/// The first kMaxText characters of the last name or percent text; no reader
/// of the converter needs them, the tests look at them.
extern std::string TextValue;
constexpr std::size_t kMaxText = 255;

/// How the program reports a failed open, read or close of an input file:
/// called with the file's name after each, it looks at FileIO's latch (the
/// converter's Dize274::CheckIO ends the run). Without one the error stays
/// latched and the input ends there: a failed open reads as an empty file.
using IOCheck = void (*)(std::string_view FileName);
void SetIOCheck(IOCheck Check);

/// Opens Name for reading and checks the open; the first fetch reads line 1.
void OpenInput(const std::string& Name);
/// Reads Text as the input, as it would a file of those bytes; Name is what
/// the program calls it. Text must stay in place until CloseInput.
void OpenText(std::string_view Text, const std::string& Name);
/// Closes the input and checks the close.
void CloseInput();
/// The next character without taking it; CR at the end of the input.
char PeekChar();
/// The next character, taken; CR at the end of the input, again and again.
char GetChar();
/// Scans one token and returns the status.
[[nodiscard]] Status ScanToken();

/// Takes the field at the current position when it has the usual plain shape,
/// after any line ends before it (as PeekChar passes over them): an upper-case
/// code letter directly followed by 1 to 7 digits and then, on the same line,
/// by something else. Returns the letter, with the number in Value and its
/// digit count in Digits; the scanner's results (ScanStatus, CurChar,
/// NumValue) are not set. Returns 0 and takes nothing of any other field.
/// GetChar and ScanToken read every field, and a plain one as this does.
char TakePlainField(std::int32_t& Value, std::uint8_t& Digits);

/// Where NumValue saturates: far beyond every accepted range.
constexpr std::int64_t kNumberLimit = std::int64_t{1} << 40;

}  // namespace Parser

#endif  // LUMARIND_PARSER_PARSER_H
