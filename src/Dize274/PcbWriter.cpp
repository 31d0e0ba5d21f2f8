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
std::int32_t CurX = 0;
std::int32_t CurY = 0;
// The text of the current point, "x y ", as the last line record wrote it:
// the next line starts there, so its text is copied, not made again. Empty
// when the point was set otherwise.
char CurText[2 * kMaxDecimal + kDecimalOverrun];
std::size_t CurTextSize = 0;

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
    // Never an input: writing the Gerber file or the configuration would destroy it.
    FileIO::OpenReplacing(PcbName, GerberName, CfgName == kNoConfig ? std::string() : CfgName);
    CheckIO(PcbName);
    PutLine("{ Converted from a Gerber file by Lumarind ver. 4.0 }");
    PutLine("");
    PutLine("Layout (");
    CurSection = kNone;
    MoveTo(0, 0);
}

void MoveTo(std::int32_t x, std::int32_t y) {
    CurX = x;
    CurY = y;
    CurTextSize = 0;
}

void WriteLineRec(std::int32_t x, std::int32_t y, std::int32_t w) {
    SelectSection(kLines);
    char* Out = StartRecord();
    if (CurTextSize > 0) {
        std::memcpy(Out, CurText, 2 * kMaxDecimal);  // fixed size: one move
        Out += CurTextSize;
    } else {
        Out = PutDecimalPair(Out, CurX, CurY);
    }
    // The end's text goes to the record and to CurText alike: made twice
    // (the optimiser shares the work) rather than read back at once from the
    // record, which would stall until the stores have gone through.
    Out = PutDecimalPair(Out, x, y);
    CurTextSize = static_cast<std::size_t>(PutDecimalPair(CurText, x, y) - CurText);
    EndRecord(PutDecimal(PutDecimal(Out, w), Layer));
    CurX = x;
    CurY = y;
}

void WritePadRec(std::int32_t x, std::int32_t y, std::int32_t p) {
    SelectSection(kPads);
    EndRecord(PutDecimal(PutDecimalPair(StartRecord(), x, y), p));
}

void ClosePcb() {
    CloseSection();
    PutLine(")");
    Flush();
    CheckConsole();  // a run that cannot report its end leaves the old file
    FileIO::CommitReplacing();
    CheckIO(PcbName);
}

void AbandonPcb() {
    FileIO::AbandonReplacing();
    PcbUsed = 0;
    CurSection = kNone;
}

}  // namespace Dize274
