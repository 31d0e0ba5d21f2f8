#include <cstring>

#include "Dize274/DecimalText.h"
#include "Dize274/Dize274Internal.h"
#include "FileIO/FileIO.h"

namespace Dize274 {

namespace {

// The file goes to the disk in pieces of exactly this size, which decides where
// among the warnings a failed write is reported.
constexpr std::size_t kPcbBufferSize = 16384;
// Room behind a full piece for one record, so that records are written in
// place and what overhangs the piece moves to the front after it went out:
// "    (", six numbers, CR LF, and what the digits may overrun.
constexpr std::size_t kRecordRoom = 5 + 6 * kMaxDecimal + 2 + kDecimalOverrun;
char PcbBuffer[kPcbBufferSize + kRecordRoom];
std::size_t PcbUsed = 0;  // below kPcbBufferSize between writes

enum : std::uint8_t { kLines = 0, kPads = 1, kNone = 2 };
constexpr std::string_view kSectionHeader[] = {"  Lines (", "  Pads ("};
std::uint8_t CurSection = kNone;
// The text of the last line's end point, "x y ", as its record wrote it: a
// line that starts there, as most do, copies it rather than making it again.
// Kept with the point it stands for, so that it is used only for that point.
std::int32_t CachedX = 0;
std::int32_t CachedY = 0;
char CachedText[2 * kMaxDecimal + kDecimalOverrun];
std::size_t CachedSize = 0;  // 0: nothing cached

void Flush() {
    if (PcbUsed > 0) {
        FileIO::WriteReplacing(PcbBuffer, PcbUsed);
        PcbUsed = 0;
    }
}

void Put(const char* Bytes, std::size_t n) {
    while (PcbUsed + n >= kPcbBufferSize) {
        std::size_t Room = kPcbBufferSize - PcbUsed;
        std::memcpy(PcbBuffer + PcbUsed, Bytes, Room);
        PcbUsed = kPcbBufferSize;
        Flush();
        Bytes += Room;
        n -= Room;
    }
    std::memcpy(PcbBuffer + PcbUsed, Bytes, n);
    PcbUsed += n;
}

void PutLine(std::string_view Text) {
    Put(Text.data(), Text.size());
    Put("\r\n", 2);
    CheckIO(PcbName);
}

// A full piece goes out; what overhangs it moves to the front.
[[gnu::noinline]] void SendPiece() {
    FileIO::WriteReplacing(PcbBuffer, kPcbBufferSize);
    PcbUsed -= kPcbBufferSize;
    std::memcpy(PcbBuffer, PcbBuffer + kPcbBufferSize, PcbUsed);
    CheckIO(PcbName);
}

// Closes a record written in place at PcbBuffer + PcbUsed, the last blank
// before Out becoming ")": a full piece goes out as Put would send it.
void EndRecord(char* Out) {
    Out[-1] = ')';
    Out[0] = '\r';
    Out[1] = '\n';
    PcbUsed = static_cast<std::size_t>(Out + 2 - PcbBuffer);
    if (PcbUsed >= kPcbBufferSize) {
        SendPiece();
    }
}

char* StartRecord() {
    char* Out = PcbBuffer + PcbUsed;
    std::memcpy(Out, "    (", 5);
    return Out + 5;
}

void CloseSection() {
    if (CurSection != kNone) {
        PutLine("  )");
        CurSection = kNone;
    }
}

[[gnu::noinline]] void SwitchSection(std::uint8_t k) {
    CloseSection();
    PutLine(kSectionHeader[k]);
    CurSection = k;
}

// Records of one kind go together; a record of the other kind closes them.
void SelectSection(std::uint8_t k) {
    if (k != CurSection) {
        SwitchSection(k);
    }
}

}  // namespace

void OpenPcb() {
    PcbUsed = 0;
    // Never the Gerber file: creating it would destroy the input.
    FileIO::OpenReplacing(PcbName, GerberName);
    CheckIO(PcbName);
    PutLine("{ Converted from a Gerber file by Lumarind ver. 4.0 }");
    PutLine("");
    PutLine("Layout (");
    CurSection = kNone;
    CachedSize = 0;
}

void WriteLineRec(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                  std::int32_t w) {
    SelectSection(kLines);
    char* Out = StartRecord();
    if (CachedSize > 0 && x0 == CachedX && y0 == CachedY) {
        std::memcpy(Out, CachedText, 2 * kMaxDecimal);  // fixed size: one move
        Out += CachedSize;
    } else {
        Out = PutDecimalPair(Out, x0, y0);
    }
    // The end's text goes to the record and to the cache alike: made twice
    // (the optimiser shares the work) rather than read back at once from the
    // record, which would stall until the stores have gone through.
    Out = PutDecimalPair(Out, x1, y1);
    CachedSize = static_cast<std::size_t>(PutDecimalPair(CachedText, x1, y1) - CachedText);
    CachedX = x1;
    CachedY = y1;
    EndRecord(PutDecimal(PutDecimal(Out, w), Layer));
}

void WritePadRec(std::int32_t x, std::int32_t y, std::int32_t p) {
    SelectSection(kPads);
    EndRecord(PutDecimal(PutDecimalPair(StartRecord(), x, y), p));
}

void ClosePcb() {
    CloseSection();
    PutLine(")");
    Flush();
    FileIO::CommitReplacing();
    CheckIO(PcbName);
}

void AbandonPcb() {
    FileIO::AbandonReplacing();
    PcbUsed = 0;
    CurSection = kNone;
}

}  // namespace Dize274
