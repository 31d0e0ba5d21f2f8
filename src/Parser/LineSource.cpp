#include "Parser/LineSource.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Bytes past the end of the data may be read (never used): the number
// scanner looks at 8 bytes at a time, the line-end search at 32.
constexpr std::size_t kReadAhead = 32;
char Buffer[kBufferSize + kReadAhead];
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
    return b < 0 || b == kCR || b == kCtrlZ;
}

// The end-of-file test: a Ctrl-Z ends the input and is never consumed.
bool AtEndOfFile() {
    int b = RawByte();
    return b < 0 || b == kCtrlZ;
}

// Sets LineEnd beyond a run of a long line: the next CR, or StopZ.
[[gnu::noinline]] void FindLineEnd(const char* From) {
    const void* Cr = std::memchr(From, kCR, static_cast<std::size_t>(StopZ - From));
    LineEnd = Cr != nullptr ? static_cast<const char*>(Cr) : StopZ;
}

// Sets LineEnd for the current line at Pos, when Pos < StopZ. Most lines are
// short: their first 32 bytes are searched at once (the read-ahead covers
// bytes past StopZ), before the library's search takes over.
void MarkRunEnd() {
    const char* Cr = nullptr;
#if defined(__SSE2__)
    const __m128i Crs = _mm_set1_epi8(kCR);
    auto Low = static_cast<std::uint32_t>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Pos)), Crs)));
    auto High = static_cast<std::uint32_t>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Pos + 16)), Crs)));
    if (std::uint32_t Found = Low | High << 16; Found != 0) {
        Cr = Pos + std::countr_zero(Found);
    }
#else
    if constexpr (std::endian::native == std::endian::little) {
        for (int Words = 0; Words < 4 && Cr == nullptr; ++Words) {
            std::uint64_t x = 0;
            std::memcpy(&x, Pos + 8 * Words, 8);
            x ^= 0x0D0D0D0D0D0D0D0Du;  // a CR byte becomes zero
            // The lowest set bit marks the first zero byte exactly.
            std::uint64_t Zero = (x - 0x0101010101010101u) & ~x & 0x8080808080808080u;
            if (Zero != 0) {
                Cr = Pos + 8 * Words + std::countr_zero(Zero) / 8;
            }
        }
    } else {
        FindLineEnd(Pos);
        return;
    }
#endif
    if (Cr != nullptr) {
        LineEnd = Cr < StopZ ? Cr : StopZ;
    } else if (StopZ - Pos <= 32) {
        LineEnd = StopZ;
    } else {
        FindLineEnd(Pos + 32);
    }
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
    MarkLineEnd();
}

[[gnu::noinline]] char PeekCharRefill() {
    Refill();
    return ScanStatus >= kEndOfInput ? kCR : *Pos;
}

// Goes over the usual line end at Pos, CR LF and an ordinary character, as
// Refill would; false, with nothing done, at any other.
bool StepOverLineEnd() {
    if (InLine && StopZ - Pos > 2 && Pos[0] == kCR && Pos[1] == kLF && Pos[2] != kCR) {
        Pos += 2;
        ++LineNo;
        ScanStatus = kOther;
        MarkRunEnd();
        return true;
    }
    return false;
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

// At the end of the buffer inside a line, reads on; CR at the line's end.
[[gnu::noinline]] char LineCharSlow() {
    if (Pos == End && InLine && RawByte() >= 0) {
        MarkLineEnd();
    }
    return Pos < LineEnd ? *Pos : kCR;
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
    Pos = End = StopZ = LineEnd = Buffer;
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
    return Pos < LineEnd ? *Pos : LineCharSlow();
}

std::string_view LineRest() {
    if (Pos >= LineEnd) {
        (void)LineCharSlow();
    }
    return {Pos, static_cast<std::size_t>(LineEnd - Pos)};
}

std::string_view BufferedLine() {
    return {Pos, Pos < LineEnd ? static_cast<std::size_t>(LineEnd - Pos) : 0};
}

std::string_view Take(std::size_t n) {
    if (n > 0) {
        Pos += n;
        CurChar = Pos[-1];
        ScanStatus = kOther;
    }
    if (Pos == LineEnd) {
        (void)StepOverLineEnd();
    }
    return BufferedLine();
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
