// The code sheet reader on arbitrary bytes, as lumarind-cfg and lumarind-svg
// read it: no fatal I/O check. A sheet read to the end must hold only codes
// in their ranges, and the sheet its writer makes of them must read back the
// same. A bad one must name a line of the input and say what is wrong. The
// padded twin (see FuzzSupport.h) must end the same way, at the same line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "Parser/Parser.h"
#include "Sheet/Sheet.h"

namespace {

std::string SheetFile;
std::string TwinFile;
std::string WrittenFile;

struct Result {
    Sheet::Status Status = Sheet::Status::kOk;
    Sheet::CodeSheet Codes;
    std::int32_t Line = 0;
    std::string Message;
};

bool Same(const Sheet::CodeSheet& a, const Sheet::CodeSheet& b) {
    for (int c = 0; c < Sheet::kWidthCodes; ++c) {
        if (a.Width[c] != b.Width[c]) {
            return false;
        }
    }
    for (int c = 0; c < Sheet::kPatternCodes; ++c) {
        const Sheet::Pad& p = a.Pads[c];
        const Sheet::Pad& q = b.Pads[c];
        if (p.Listed != q.Listed ||
            (p.Listed && (p.Shape != q.Shape || p.X != q.X || p.Y != q.Y))) {
            return false;
        }
    }
    return true;
}

Result Read(const std::string& Name) {
    Result r;
    r.Status = Sheet::ReadSheet(Name, r.Codes, r.Line, r.Message);
    FUZZ_CHECK(r.Status != Sheet::Status::kIOFailed);
    return r;
}

bool InRange(std::int32_t v) {
    return v >= Sheet::kMinSize && v <= Sheet::kMaxSize;
}

// A good sheet's codes, and its writer's text read back.
void CheckGood(const Sheet::CodeSheet& S) {
    std::string Text;
    for (int c = 0; c < Sheet::kWidthCodes; ++c) {
        FUZZ_CHECK(S.Width[c] == 0 || InRange(S.Width[c]));
        if (S.Width[c] != 0) {
            Text += Sheet::WidthLine(c, S.Width[c]) + "\n";
        }
    }
    for (int c = 0; c < Sheet::kPatternCodes; ++c) {
        const Sheet::Pad& P = S.Pads[c];
        if (P.Listed) {
            FUZZ_CHECK(InRange(P.X) && InRange(P.Y));
            bool Square =
                P.Shape == Sheet::PadShape::kRound || P.Shape == Sheet::PadShape::kOctagon;
            FUZZ_CHECK(!Square || P.X == P.Y);
            Text += Sheet::PadLine(c, P) + "\n";
        }
    }
    FuzzSupport::WriteFile(WrittenFile, Text.data(), Text.size());
    Result Again = Read(WrittenFile);
    FUZZ_CHECK(Again.Status == Sheet::Status::kOk);
    FUZZ_CHECK(Same(Again.Codes, S));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The programs that read sheets report I/O errors themselves.
    Parser::SetIOCheck(nullptr);
    FuzzSupport::QuietConsole();
    FuzzSupport::MakeScratchDir();
    SheetFile = FuzzSupport::MakeScratchFile("sheet");
    TwinFile = FuzzSupport::MakeScratchFile("twin");
    WrittenFile = FuzzSupport::MakeScratchFile("written");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    FuzzSupport::WriteFile(SheetFile, Data, Size);
    Result r = Read(SheetFile);
    if (r.Status == Sheet::Status::kOk) {
        CheckGood(r.Codes);
    } else {
        std::int32_t Lines = 1;
        for (std::size_t i = 0; i < Size; ++i) {
            Lines += Data[i] == '\n' || Data[i] == '\r' ? 1 : 0;
        }
        FUZZ_CHECK(r.Line >= 1 && r.Line <= Lines);
        FUZZ_CHECK(!r.Message.empty() && r.Message.back() == '.');
    }
    if (FuzzSupport::TwinDue(Data, Size)) {
        std::string Twin = FuzzSupport::PaddedTwin(Data, Size);
        FuzzSupport::WriteFile(TwinFile, Twin.data(), Twin.size());
        Result t = Read(TwinFile);
        FUZZ_CHECK(t.Status == r.Status && t.Message == r.Message && Same(t.Codes, r.Codes));
        if (FuzzSupport::TwinCountsSameLines(Data, Size)) {
            FUZZ_CHECK(t.Line == r.Line);
        }
    }
    return 0;
}
