#include "Dize274/PcbWriter.h"

#include <cstdlib>
#include <cstring>

#include "Dize274/Console.h"
#include "Dize274/DecimalText.h"
#include "Dize274/Dize274.h"
#include "Dize274/RunFiles.h"
#include "Dize274/Settings.h"
#include "FileIO/FileIO.h"
#include "Version.h"

namespace Dize274 {

namespace {

// The file goes to the disk in pieces of exactly this size, which decides where
// among the warnings a failed write is reported.
constexpr std::size_t kPcbBufferSize = 16384;

// Every line is written in place behind the data, a record's numbers each
// followed by a blank, the last becoming ")". The buffer has room behind a
// full piece for the longest line there is.
constexpr std::string_view kRecordStart = "    (";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kMostFields = 6;  // a line record: two points, width code, layer
constexpr std::size_t kRecordRoom =
    kRecordStart.size() + kMostFields * kMaxDecimal + kLineEnd.size() + kDecimalOverrun;
// A piece that goes out leaves less than a line behind, so that between lines
// PcbUsed stays below kPcbBufferSize.
static_assert(kRecordRoom <= kPcbBufferSize);
char PcbBuffer[kPcbBufferSize + kRecordRoom];
std::size_t PcbUsed = 0;  // below kPcbBufferSize between lines

enum class Section : std::uint8_t { kLines, kPads, kNone };
Section CurSection = Section::kNone;
// The text of the last line's end point, "x y ", as its record wrote it: a
// line that starts there, as most do, copies it rather than making it again.
// Kept with the point it stands for, so that it is used only for that point.
std::int32_t CachedX = 0;
std::int32_t CachedY = 0;
char CachedText[2 * kMaxDecimal + kDecimalOverrun];
std::size_t CachedSize = 0;  // 0: nothing cached

// A full piece goes out; what overhangs it moves to the front.
[[gnu::noinline]] void SendPiece() {
    if (PcbUsed > sizeof PcbBuffer) {
        std::abort();  // a line longer than kRecordRoom: never move what is not there
    }
    FileIO::WriteReplacing(PcbBuffer, kPcbBufferSize);
    PcbUsed -= kPcbBufferSize;
    std::memcpy(PcbBuffer, PcbBuffer + kPcbBufferSize, PcbUsed);
    CheckIO(PcbName);
}

// Ends the line written in place up to End: the one rule by which pieces go
// out.
void EndLine(char* End) {
    std::memcpy(End, kLineEnd.data(), kLineEnd.size());
    PcbUsed = static_cast<std::size_t>(End + kLineEnd.size() - PcbBuffer);
    if (PcbUsed >= kPcbBufferSize) {
        SendPiece();
    }
}

// A line of the layout's frame: a literal, so that its fit is checked here.
template <std::size_t N>
void PutLine(const char (&Text)[N]) {
    static_assert(N - 1 + kLineEnd.size() <= kRecordRoom, "a line must fit behind a full piece");
    std::memcpy(PcbBuffer + PcbUsed, Text, N - 1);
    EndLine(PcbBuffer + PcbUsed + N - 1);
}

// "Word (" after Indent blanks: the opening of the layout or of a section.
template <std::size_t Indent, std::size_t N>
void PutOpening(const char (&Word)[N]) {
    constexpr std::string_view kOpen = " (";
    static_assert(Indent + N - 1 + kOpen.size() + kLineEnd.size() <= kRecordRoom,
                  "a line must fit behind a full piece");
    char* Out = PcbBuffer + PcbUsed;
    std::memset(Out, ' ', Indent);
    std::memcpy(Out + Indent, Word, N - 1);
    std::memcpy(Out + Indent + N - 1, kOpen.data(), kOpen.size());
    EndLine(Out + Indent + N - 1 + kOpen.size());
}

char* StartRecord() {
    char* Out = PcbBuffer + PcbUsed;
    std::memcpy(Out, kRecordStart.data(), kRecordStart.size());
    return Out + kRecordStart.size();
}

// Closes a record written in place, the last blank before Out becoming ")".
void EndRecord(char* Out) {
    Out[-1] = ')';
    EndLine(Out);
}

void CloseSection() {
    if (CurSection != Section::kNone) {
        PutLine("  )");
        CurSection = Section::kNone;
    }
}

[[gnu::noinline]] void SwitchSection(Section k) {
    CloseSection();
    if (k == Section::kLines) {
        PutOpening<2>(kLinesWord);
    } else {
        PutOpening<2>(kPadsWord);
    }
    CurSection = k;
}

// Records of one kind go together; a record of the other kind closes them.
void SelectSection(Section k) {
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
    PutLine("{ Converted from a Gerber file by Lumarind ver. " LUMARIND_VERSION " }");
    PutLine("");
    PutOpening<0>(kLayoutWord);
    CurSection = Section::kNone;
    CachedSize = 0;
}

void WriteLineRec(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                  std::int32_t w) {
    SelectSection(Section::kLines);
    char* Out = StartRecord();
    if (CachedSize > 0 && x0 == CachedX && y0 == CachedY) {
        static_assert(sizeof CachedText >= 2 * kMaxDecimal);
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
    SelectSection(Section::kPads);
    EndRecord(PutDecimal(PutDecimalPair(StartRecord(), x, y), p));
}

void ClosePcb() {
    CloseSection();
    PutLine(")");
    FileIO::WriteReplacing(PcbBuffer, PcbUsed);  // the last piece, short
    PcbUsed = 0;
    CheckConsole();  // a run that cannot report its end leaves the old file
    FileIO::CommitReplacing();
    CheckIO(PcbName);
}

void AbandonPcb() {
    FileIO::AbandonReplacing();
    PcbUsed = 0;
    CurSection = Section::kNone;
}

}  // namespace Dize274
