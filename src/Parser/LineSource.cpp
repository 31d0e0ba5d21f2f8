#include "Parser/LineSource.h"

#include "Dize274/Dize274.h"
#include "FileIO/FileIO.h"
#include "Parser/Parser.h"

namespace Parser {

std::int32_t LineNo = 0;
std::uint8_t ScanStatus = kOther;
char CurChar = kCR;

namespace {

constexpr char kLF = '\n';
constexpr char kCtrlZ = '\x1a';
constexpr std::size_t kBufferSize = 256 * 1024;

char Buffer[kBufferSize];
const char* Pos = Buffer;  // the next unread byte of the file
const char* End = Buffer;
bool AtPhysicalEnd = false;

int InFile = -1;
std::string InName;

// Whether a line is current, so that a CR, Ctrl-Z or the physical end at Pos
// is its end. False after the open (no line read yet) and at the end of input.
bool InLine = false;

// Refills the byte buffer; false at the physical end of the file.
bool FillBuffer() {
    if (AtPhysicalEnd) {
        return false;
    }
    std::size_t n = FileIO::ReadSome(InFile, InName, Buffer, kBufferSize);
    Dize274::CheckIO(InName);
    Pos = Buffer;
    End = Buffer + n;
    AtPhysicalEnd = n == 0;
    return !AtPhysicalEnd;
}

// The next byte of the file, or -1 at its physical end.
int RawByte() {
    if (Pos == End && !FillBuffer()) {
        return -1;
    }
    return static_cast<unsigned char>(*Pos);
}

bool IsLineEnd(int b) {
    return b < 0 || b == kCR || b == kCtrlZ;
}

// The end-of-file test: a Ctrl-Z ends the input and is never consumed.
bool AtEndOfFile() {
    int b = RawByte();
    return b < 0 || b == kCtrlZ;
}

// Passes over line ends, counting the lines, until a character is available
// or the input has ended (status 4, which stays).
void Refill() {
    ScanStatus = kOther;
    while (ScanStatus < kEndOfInput && (!InLine || IsLineEnd(RawByte()))) {
        if (InLine && RawByte() == kCR) {
            ++Pos;
            if (RawByte() == kLF) {
                ++Pos;
            }
        }
        InLine = false;
        if (AtEndOfFile()) {
            ScanStatus = kEndOfInput;
        } else {
            ++LineNo;
            InLine = true;
        }
    }
}

}  // namespace

void OpenInput(const std::string& Name) {
    if (InFile >= 0) {
        // Only reached when a run was abandoned midway and another starts.
        FileIO::CloseFile(InFile, InName, FileIO::Access::Read);
        FileIO::ClearIOError();
    }
    InName = Name;
    InFile = FileIO::OpenRead(Name);
    Dize274::CheckIO(Name);
    Pos = End = Buffer;
    AtPhysicalEnd = false;
    InLine = false;
    LineNo = 0;
    ScanStatus = kOther;
    CurChar = kCR;
}

void CloseInput() {
    int Fd = InFile;
    InFile = -1;
    FileIO::CloseFile(Fd, InName, FileIO::Access::Read);
    Dize274::CheckIO(InName);
}

char LineChar() {
    if (Pos != End) {
        char c = *Pos;
        return c == kCtrlZ ? kCR : c;
    }
    return InLine && RawByte() >= 0 ? LineChar() : kCR;
}

void Advance() {
    ++Pos;
}

char PeekChar() {
    // Inside a line the next byte is the answer; everything else is Refill's.
    if (Pos != End && InLine) {
        char c = *Pos;
        if (c != kCR && c != kCtrlZ) {
            ScanStatus = kOther;
            return c;
        }
    }
    Refill();
    return ScanStatus >= kEndOfInput ? kCR : *Pos;
}

char GetChar() {
    char c = PeekChar();
    CurChar = c;
    if (c != kCR) {
        ++Pos;
    }
    return c;
}

}  // namespace Parser
