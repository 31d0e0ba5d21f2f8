#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "Parser/ParserInternal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "FileIO/FileIO.h"
#include "Parser/Parser.h"

namespace Parser {

std::int32_t LineNo = 0;
Status ScanStatus = kOther;
char CurChar = kCR;

namespace {

constexpr char kLF = '\n';
constexpr char kCtrlZ = '\x1a';
char Buffer[kReadBufferSize + kReadAhead];
const char* Pos = Buffer;  // the next unread byte of the file
const char* End = Buffer;
// The first Ctrl-Z in Buffer, or End: the input stops there.
const char* StopZ = Buffer;
// Where the run of ordinary characters of the current line at Pos ends: the
// next CR, Ctrl-Z or the end of the buffer; Pos itself when no line is
// current. Below it the fast paths hand out bytes without looking at them.
const char* LineEnd = Buffer;
bool AtPhysicalEnd = false;

int InFile = -1;
std::string InName;
// The text read instead of a file: its unread part from InText up to TextEnd.
bool FromText = false;
const char* InText = nullptr;
const char* TextEnd = nullptr;
IOCheck Check = nullptr;

void CheckOperation() {
    if (Check != nullptr) {
        Check(InName);
    }
}

// Whether a line is current, so that a CR, Ctrl-Z or the physical end at Pos
// is its end. False after the open (no line read yet) and at the end of input.
bool InLine = false;

// Refills the byte buffer; false at the physical end of the file.
bool FillBuffer() {
    if (AtPhysicalEnd) {
        return false;
    }
    std::size_t n = 0;
    if (FromText) {
        // In pieces like a file's, so that every path is the same.
        n = std::min<std::size_t>(kReadBufferSize, static_cast<std::size_t>(TextEnd - InText));
        std::memcpy(Buffer, InText, n);
        InText += n;
    } else {
        n = FileIO::ReadSome(InFile, InName, Buffer, kReadBufferSize);
        CheckOperation();
    }
    Pos = LineEnd = Buffer;
    End = Buffer + n;
    const void* z = std::memchr(Buffer, kCtrlZ, n);
    StopZ = z != nullptr ? static_cast<const char*>(z) : End;
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
    return b < 0 || b == kCR || b == kLF || b == kCtrlZ;
}

// The end-of-file test: a Ctrl-Z ends the input and is never consumed.
bool AtEndOfFile() {
    int b = RawByte();
    return b < 0 || b == kCtrlZ;
}

// How many bytes the line-end search looks at in one step, from a position
// before StopZ: the rest of them may lie in the read-ahead.
#if defined(__SSE2__)
constexpr std::size_t kSearchStep = 2 * sizeof(__m128i);
#else
constexpr std::size_t kSearchStep = sizeof(std::uint64_t);
#endif
static_assert(kSearchStep <= kReadAhead, "a search step must not read past the read-ahead");

// The first CR or LF in [From, StopZ), or StopZ. Both are looked for in one
// pass; the loads may reach past StopZ into the read-ahead, which is never
// taken for a line end.
const char* FindLineEnd(const char* From) {
    const char* p = From;
#if defined(__SSE2__)
    // Two registers a step: most lines end within the first.
    auto Ends = [](const char* At) {
        __m128i Bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(At));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(
            _mm_cmpeq_epi8(Bytes, _mm_set1_epi8(kCR)), _mm_cmpeq_epi8(Bytes, _mm_set1_epi8(kLF)))));
    };
    for (; p < StopZ; p += kSearchStep) {
        if (std::uint32_t Found = Ends(p) | Ends(p + kSearchStep / 2) << 16; Found != 0) {
            return std::min(p + std::countr_zero(Found), StopZ);
        }
    }
#else
    if constexpr (std::endian::native == std::endian::little) {
        for (; p < StopZ; p += kSearchStep) {
            std::uint64_t x = 0;
            std::memcpy(&x, p, kSearchStep);
            // The lowest set bit of ZeroBytes marks the first zero byte
            // exactly, so the first CR or LF is the lower of the two.
            auto ZeroBytes = [](std::uint64_t v) {
                return (v - 0x0101010101010101u) & ~v & 0x8080808080808080u;
            };
            std::uint64_t Found =
                ZeroBytes(x ^ 0x0D0D0D0D0D0D0D0Du) | ZeroBytes(x ^ 0x0A0A0A0A0A0A0A0Au);
            if (Found != 0) {
                return std::min(p + std::countr_zero(Found) / 8, StopZ);
            }
        }
    } else {
        while (p < StopZ && *p != kCR && *p != kLF) {
            ++p;
        }
    }
#endif
    return std::min(p, StopZ);
}

// Sets LineEnd for the current line at Pos, when Pos < StopZ.
void MarkRunEnd() {
    LineEnd = FindLineEnd(Pos);
}

// Sets LineEnd after anything that moved Pos other than over ordinary
// characters. Pos never passes StopZ: a Ctrl-Z is never consumed.
void MarkLineEnd() {
    if (!InLine || Pos >= StopZ) {
        LineEnd = Pos;
        return;
    }
    MarkRunEnd();
}

// Passes over line ends, counting the lines, until a character is available
// or the input has ended (status 4, which stays).
void Refill() {
    ScanStatus = kOther;
    while (ScanStatus < kEndOfInput && (!InLine || IsLineEnd(RawByte()))) {
        // CR, CR LF and LF each end one line; an LF after that is a line of its own.
        if (int b = InLine ? RawByte() : -1; b == kCR || b == kLF) {
            ++Pos;
            if (b == kCR && RawByte() == kLF) {
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
    MarkLineEnd();
}

[[gnu::noinline]] char PeekCharRefill() {
    Refill();
    return ScanStatus >= kEndOfInput ? kCR : *Pos;
}

// Goes over the usual line end at Pos, CR LF, CR or LF before an ordinary
// character, as Refill would; false, with nothing done, at any other, and
// where fewer than three bytes are left before StopZ.
bool StepOverLineEnd() {
    if (!InLine || StopZ - Pos < 3) {
        return false;
    }
    char First = Pos[0];
    std::size_t n = First == kCR && Pos[1] == kLF ? 2 : 1;
    char Next = Pos[n];
    if ((First != kCR && First != kLF) || Next == kCR || Next == kLF) {
        return false;
    }
    Pos += n;
    ++LineNo;
    ScanStatus = kOther;
    MarkRunEnd();
    return true;
}

// The slow paths stay out of line, so that the fast ones inline into the
// scanner and the Gerber loop.
[[gnu::noinline]] char PeekCharSlow() {
    return StepOverLineEnd() ? *Pos : PeekCharRefill();
}

[[gnu::noinline]] char GetCharSlow() {
    char c = PeekCharSlow();
    CurChar = c;
    if (c != kCR) {
        ++Pos;
    }
    return c;
}

[[gnu::noinline]] std::string_view NextRunSlow() {
    (void)PeekCharSlow();
    return {Pos, Pos < LineEnd ? static_cast<std::size_t>(LineEnd - Pos) : 0};
}

// At the end of the buffer inside a line, reads on; CR at the line's end.
[[gnu::noinline]] char LineCharSlow() {
    if (Pos == End && InLine && RawByte() >= 0) {
        MarkLineEnd();
    }
    return Pos < LineEnd ? *Pos : kCR;
}

}  // namespace

namespace {

void StartInput() {
    Pos = End = StopZ = LineEnd = Buffer;
    InLine = false;
    LineNo = 0;
    ScanStatus = kOther;
    CurChar = kCR;
}

// Only reached when a run was abandoned midway and another starts.
void DropInput() {
    if (InFile >= 0) {
        FileIO::CloseFile(InFile, InName, FileIO::Access::kRead);
        FileIO::ClearIOError();
        InFile = -1;
    }
    FromText = false;
}

}  // namespace

void SetIOCheck(IOCheck Checker) {
    Check = Checker;
}

void OpenInput(const std::string& Name) {
    DropInput();
    InName = Name;
    InFile = FileIO::OpenRead(Name);
    // Unchecked, a failed open reads as an empty file.
    AtPhysicalEnd = InFile < 0;
    CheckOperation();
    StartInput();
}

void OpenText(std::string_view Text, const std::string& Name) {
    DropInput();
    InName = Name;
    FromText = true;
    InText = Text.data();
    TextEnd = Text.data() + Text.size();
    AtPhysicalEnd = false;
    StartInput();
}

void CloseInput() {
    if (FromText) {
        FromText = false;
        return;
    }
    int Fd = InFile;
    InFile = -1;
    FileIO::CloseFile(Fd, InName, FileIO::Access::kRead);
    CheckOperation();
}

char LineChar() {
    return Pos < LineEnd ? *Pos : LineCharSlow();
}

std::string_view LineRest() {
    if (Pos >= LineEnd) {
        (void)LineCharSlow();
    }
    return {Pos, static_cast<std::size_t>(LineEnd - Pos)};
}

std::string_view NextRun() {
    if (Pos < LineEnd || StepOverLineEnd()) {
        return {Pos, static_cast<std::size_t>(LineEnd - Pos)};
    }
    return NextRunSlow();
}

void Advance() {
    ++Pos;
}

void Advance(std::size_t n) {
    Pos += n;
}

char PeekChar() {
    if (Pos < LineEnd) {
        ScanStatus = kOther;
        return *Pos;
    }
    return PeekCharSlow();
}

char GetChar() {
    if (Pos < LineEnd) {
        ScanStatus = kOther;
        CurChar = *Pos;
        return *Pos++;
    }
    return GetCharSlow();
}

}  // namespace Parser
