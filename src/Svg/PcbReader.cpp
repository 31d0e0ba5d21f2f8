#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <limits>
#include <span>

#include "Dize274/Dize274.h"
#include "FileIO/FileIO.h"
#include "Parser/Parser.h"
#include "Svg/Svg.h"

namespace Svg {

namespace {

// The file streams through this buffer; nothing else grows with it. A token
// may be of any length: only its first kShownMax bytes are kept, to be shown.
constexpr std::size_t kBufferSize = 65536;
char Buffer[kBufferSize];
std::size_t Pos = 0;
std::size_t Fill = 0;
bool AtEnd = false;       // the file's end was read, or a read failed
bool ReadFailed = false;  // ... and then the error is latched

std::string PcbName;
int PcbFd = -1;
std::int64_t LineNo = 1;  // the line of the next byte
bool AfterCR = false;     // an LF right after a CR ends no other line
bool LineEnded = false;   // the last byte taken ended a line
std::string Message;      // what LayoutError returns

// Where in the layout the reader is.
enum class Place : std::uint8_t { kBeforeLayout, kLayout, kLines, kPads, kDone };
Place Where = Place::kBeforeLayout;

// Tokens: "(", ")", a text (a run of anything but blanks, line ends,
// parentheses and "{"), the file's end, and kFault for a failed read or a
// comment left open (the status is in Fault).
enum class Tok : std::uint8_t { kOpen, kClose, kText, kEnd, kFault };
constexpr std::size_t kShownMax = 40;
Tok What = Tok::kEnd;
std::int64_t TokLine = 0;
char Shown[kShownMax];
std::size_t TextSize = 0;
bool IsNumber = false;
std::int64_t Value = 0;  // saturates far beyond 32 bits, which the range check then refuses
ReadStatus Fault = ReadStatus::kOk;

// The next byte without taking it; -1 at the end of the file or of what
// could be read.
int Peek() {
    if (Pos == Fill) {
        if (AtEnd) {
            return -1;
        }
        Pos = 0;
        Fill = FileIO::ReadSome(PcbFd, PcbName, Buffer, kBufferSize);
        if (Fill == 0) {
            AtEnd = true;
            ReadFailed = FileIO::IOError();
            return -1;
        }
    }
    return static_cast<unsigned char>(Buffer[Pos]);
}

// Takes the byte c that Peek showed; a line ends at CR, at LF and at CR LF.
void Take(int c) {
    ++Pos;
    if (c == '\n') {
        LineNo += AfterCR ? 0 : 1;
        AfterCR = false;
        LineEnded = true;
    } else if (c == '\r') {
        ++LineNo;
        AfterCR = true;
        LineEnded = true;
    } else {
        AfterCR = false;
        LineEnded = false;
    }
}

bool IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool EndsText(int c) {
    return c < 0 || IsBlank(c) || c == '(' || c == ')' || c == '{';
}

ReadStatus Bad(std::int64_t Line, std::string_view Why) {
    Message = PcbName + ":" + std::to_string(Line) + ": ";
    Message += Why;
    return ReadStatus::kBadFile;
}

// The last line that holds anything: the file's end is reported there.
std::int64_t EndLine() {
    return LineEnded ? LineNo - 1 : LineNo;
}

Tok ReadFault() {
    Fault = ReadStatus::kIOFailed;
    return What = Tok::kFault;
}

// Skips a comment from its "{" to its "}".
bool SkipComment() {
    std::int64_t Start = LineNo;
    Take('{');
    for (int c = Peek(); c != '}'; c = Peek()) {
        if (c < 0) {
            if (!ReadFailed) {
                Fault = Bad(Start, "comment not closed: \"{\" without \"}\"");
            }
            return false;
        }
        Take(c);
    }
    Take('}');
    return true;
}

void ScanText(int c) {
    TextSize = 0;
    Value = 0;
    IsNumber = true;
    bool Negative = c == '-';
    for (; !EndsText(c); c = Peek()) {
        if (TextSize < kShownMax) {
            Shown[TextSize] = static_cast<char>(c);
        }
        if (c >= '0' && c <= '9') {
            Value = Value < Parser::kNumberLimit ? Value * 10 + (c - '0') : Value;
        } else if (c != '-' || TextSize > 0) {
            IsNumber = false;
        }
        ++TextSize;
        Take(c);
    }
    IsNumber = IsNumber && TextSize > (Negative ? 1u : 0u);
    Value = Negative ? -Value : Value;
}

Tok Scan() {
    int c = Peek();
    for (; IsBlank(c) || c == '{'; c = Peek()) {
        if (c != '{') {
            Take(c);
        } else if (!SkipComment()) {
            What = Tok::kFault;
            return ReadFailed ? ReadFault() : What;
        }
    }
    TokLine = c < 0 ? EndLine() : LineNo;
    if (c < 0) {
        What = Tok::kEnd;
    } else if (c == '(' || c == ')') {
        Take(c);
        What = c == '(' ? Tok::kOpen : Tok::kClose;
    } else {
        ScanText(c);
        What = Tok::kText;
    }
    // The end of what could be read, or a text cut short by it, is no token.
    return ReadFailed ? ReadFault() : What;
}

bool IsWord(std::string_view Word) {
    return What == Tok::kText && TextSize == Word.size() &&
           std::memcmp(Shown, Word.data(), Word.size()) == 0;
}

// The text of the last text token, as far as kept, for a message: bytes
// that a terminal would not show as themselves as \xNN.
std::string TextShown() {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < TextSize && i < kShownMax; ++i) {
        auto c = static_cast<unsigned char>(Shown[i]);
        if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            s += "\\x";
            s += kHex[c >> 4];
            s += kHex[c & 15];
        }
    }
    return TextSize > kShownMax ? s + "..." : s;
}

std::string Found() {
    switch (What) {
        case Tok::kOpen:
            return "\"(\"";
        case Tok::kClose:
            return "\")\"";
        case Tok::kText:
            return "\"" + TextShown() + "\"";
        default:
            return "the end of the file";
    }
}

ReadStatus Unexpected(std::string_view Expected) {
    return Bad(TokLine, std::string(Expected) + " expected, found " + Found());
}

struct Field {
    std::string_view Name;
    std::int64_t Min;
    std::int64_t Max;
};
constexpr Field kCoordinate{"coordinate", std::numeric_limits<std::int32_t>::min(),
                            std::numeric_limits<std::int32_t>::max()};
constexpr Field kLineFields[] = {kCoordinate,
                                 kCoordinate,
                                 kCoordinate,
                                 kCoordinate,
                                 {"width code", 0, Dize274::kMaxWidth},
                                 {"layer", 0, Dize274::kMaxLayer}};
constexpr Field kPadFields[] = {
    kCoordinate, kCoordinate, {"pattern code", 0, Dize274::kMaxPattern}};
static_assert(std::size(kLineFields) == Dize274::kLineFields);
static_assert(std::size(kPadFields) == Dize274::kPadFields);

// A word of the layout's frame and its "(", as a message shows them.
std::string Opening(std::string_view Word) {
    return "\"" + std::string(Word) + " (\"";
}

// The numbers and the ")" of a record whose "(" was read.
ReadStatus ReadRecord(Record& R) {
    bool Line = Where == Place::kLines;
    std::span<const Field> Fields(Line ? std::span<const Field>(kLineFields)
                                       : std::span<const Field>(kPadFields));
    std::string_view Shape =
        Line ? "a line record (x1 y1 x2 y2 width layer)" : "a pad record (x y pattern)";
    std::int64_t v[Dize274::kLineFields] = {};
    for (std::size_t i = 0; i < Fields.size(); ++i) {
        if (Scan() == Tok::kFault) {
            return Fault;
        }
        if (What != Tok::kText || !IsNumber) {
            return Unexpected("a number of " + std::string(Shape));
        }
        if (Value < Fields[i].Min || Value > Fields[i].Max) {
            return Bad(TokLine, std::string(Fields[i].Name) + " " + TextShown() +
                                    " out of range (" + std::to_string(Fields[i].Min) + " to " +
                                    std::to_string(Fields[i].Max) + ")");
        }
        v[i] = Value;
    }
    if (Scan() == Tok::kFault) {
        return Fault;
    }
    if (What != Tok::kClose) {
        return Unexpected("\")\" after the " + std::to_string(Fields.size()) + " numbers of " +
                          std::string(Shape));
    }
    R.What = Line ? Kind::kLine : Kind::kPad;
    R.X1 = static_cast<std::int32_t>(v[0]);
    R.Y1 = static_cast<std::int32_t>(v[1]);
    R.X2 = Line ? static_cast<std::int32_t>(v[2]) : 0;
    R.Y2 = Line ? static_cast<std::int32_t>(v[3]) : 0;
    R.Code = static_cast<std::uint8_t>(Line ? v[4] : v[2]);
    R.Layer = static_cast<std::uint8_t>(Line ? v[5] : 0);
    return ReadStatus::kOk;
}

// After a section's name or "Layout": its "(".
ReadStatus OpenList(Place Next, std::string_view Expected) {
    if (Scan() == Tok::kFault) {
        return Fault;
    }
    if (What != Tok::kOpen) {
        return Unexpected(Expected);
    }
    Where = Next;
    return ReadStatus::kOk;
}

void StartOver() {
    Pos = 0;
    Fill = 0;
    AtEnd = false;
    ReadFailed = false;
    LineNo = 1;
    AfterCR = false;
    LineEnded = false;
    Where = Place::kBeforeLayout;
}

}  // namespace

ReadStatus OpenLayout(const std::string& Name) {
    PcbName = Name;
    StartOver();
    PcbFd = FileIO::OpenRead(Name);
    if (PcbFd < 0) {
        return ReadStatus::kIOFailed;
    }
    struct stat St;
    if (::fstat(PcbFd, &St) != 0 || !S_ISREG(St.st_mode)) {
        ::close(PcbFd);
        PcbFd = -1;
        Message = Name + ": not a regular file (the PCB file is read twice)";
        return ReadStatus::kBadFile;
    }
    return ReadStatus::kOk;
}

ReadStatus RewindLayout() {
    StartOver();
    if (::lseek(PcbFd, 0, SEEK_SET) != 0) {
        Message = PcbName + ": cannot be read a second time";
        return ReadStatus::kBadFile;
    }
    return ReadStatus::kOk;
}

ReadStatus NextRecord(Record& R) {
    for (;;) {
        if (Scan() == Tok::kFault) {
            return Fault;
        }
        ReadStatus s = ReadStatus::kOk;
        switch (Where) {
            case Place::kBeforeLayout:
                if (!IsWord(Dize274::kLayoutWord)) {
                    return Unexpected("not a PCB file: " + Opening(Dize274::kLayoutWord));
                }
                s = OpenList(Place::kLayout, "not a PCB file: \"(\" after \"" +
                                                 std::string(Dize274::kLayoutWord) + "\"");
                break;
            case Place::kLayout:
                if (IsWord(Dize274::kLinesWord)) {
                    s = OpenList(Place::kLines,
                                 "\"(\" after \"" + std::string(Dize274::kLinesWord) + "\"");
                } else if (IsWord(Dize274::kPadsWord)) {
                    s = OpenList(Place::kPads,
                                 "\"(\" after \"" + std::string(Dize274::kPadsWord) + "\"");
                } else if (What == Tok::kClose) {
                    Where = Place::kDone;
                } else {
                    return Unexpected(Opening(Dize274::kLinesWord) + ", " +
                                      Opening(Dize274::kPadsWord) + " or the layout's \")\"");
                }
                break;
            case Place::kLines:
            case Place::kPads:
                if (What == Tok::kOpen) {
                    return ReadRecord(R);
                }
                if (What != Tok::kClose) {
                    return Unexpected(Where == Place::kLines ? "a line record or \")\""
                                                             : "a pad record or \")\"");
                }
                Where = Place::kLayout;
                break;
            case Place::kDone:
                if (What != Tok::kEnd) {
                    return Bad(TokLine, "text after the end of the layout: " + Found());
                }
                return ReadStatus::kEnd;
        }
        if (s != ReadStatus::kOk) {
            return s;
        }
    }
}

std::string LayoutError() {
    return Message;
}

ReadStatus CloseLayout() {
    FileIO::CloseFile(PcbFd, PcbName, FileIO::Access::kRead);
    PcbFd = -1;
    return FileIO::IOError() ? ReadStatus::kIOFailed : ReadStatus::kOk;
}

}  // namespace Svg
