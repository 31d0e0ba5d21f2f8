// The number conversion, two ways on the same text: a scan of the text from a
// file, and ReadIntParam with the coordinate bounds, each against a 128-bit
// reference (and std::from_chars where 64 bits hold the text). The text is an
// optional sign, then the digits among the bytes.
// One text in eight is scanned once more behind blanks that put the end of
// the reader's buffer inside it.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Dize274/IntParam.h"
#include "FuzzSupport.h"
#include "Parser/Parser.h"

namespace {

std::string NumberFile;
std::string TwinFile;

// Scans the file: the number (or the lone sign), the "*", the end.
void CheckScan(const std::string& Name, bool LoneSign, char Sign, std::int64_t Expected) {
    FileIO::ClearIOError();
    FUZZ_CHECK(FuzzSupport::RunPhase([&] { Parser::OpenInput(Name); }) == -1);
    std::uint8_t Status = Parser::ScanToken();
    if (LoneSign) {
        FUZZ_CHECK(Status == Parser::kOther && Parser::CurChar == Sign);
    } else {
        FUZZ_CHECK(Status == Parser::kNumber && Parser::NumValue == Expected);
    }
    FUZZ_CHECK(Parser::ScanToken() == Parser::kOther && Parser::CurChar == '*');
    FUZZ_CHECK(Parser::ScanToken() == Parser::kEndOfInput);
    FUZZ_CHECK(Parser::LineNo == 1);
}

// What the text stands for: its exact value, held at +-kNumberLimit beyond it.
std::int64_t Reference(const std::string& Text) {
    std::size_t i = Text[0] == '+' || Text[0] == '-' ? 1 : 0;
    unsigned __int128 Magnitude = 0;
    const unsigned __int128 Ceiling = static_cast<unsigned __int128>(1) << 100;
    for (; i < Text.size(); ++i) {
        Magnitude = Magnitude * 10 + static_cast<unsigned>(Text[i] - '0');
        if (Magnitude > Ceiling) {
            Magnitude = Ceiling;
        }
    }
    const auto Limit = static_cast<unsigned __int128>(Parser::kNumberLimit);
    auto Held = static_cast<std::int64_t>(Magnitude > Limit ? Limit : Magnitude);
    return Text[0] == '-' ? -Held : Held;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::QuietConsole();
    FuzzSupport::MakeScratchDir();
    NumberFile = FuzzSupport::MakeScratchFile("number");
    TwinFile = FuzzSupport::MakeScratchFile("twin");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size == 0) {
        return 0;
    }
    std::string Text;
    std::size_t i = 0;
    if (Data[0] == '+' || Data[0] == '-') {
        Text += static_cast<char>(Data[0]);
        i = 1;
    }
    for (; i < Size; ++i) {
        if (Data[i] >= '0' && Data[i] <= '9') {
            Text += static_cast<char>(Data[i]);
        }
    }
    bool LoneSign = Text.empty() || Text.back() == '+' || Text.back() == '-';
    if (Text.empty()) {
        return 0;
    }

    std::int64_t Expected = LoneSign ? 0 : Reference(Text);
    if (!LoneSign) {
        // Where 64 bits hold the text, the standard library must agree.
        std::string_view Plain = Text[0] == '+' ? std::string_view(Text).substr(1) : Text;
        std::int64_t Std = 0;
        auto [End, Ec] = std::from_chars(Plain.data(), Plain.data() + Plain.size(), Std);
        if (Ec == std::errc() && Std >= -Parser::kNumberLimit && Std <= Parser::kNumberLimit) {
            FUZZ_CHECK(End == Plain.data() + Plain.size());
            FUZZ_CHECK(Std == Expected);
        }
    }

    // The scanner stops at the "*" and then finds the end of the input.
    std::string File = Text + "*\r\n";
    FuzzSupport::WriteFile(NumberFile, File.data(), File.size());
    CheckScan(NumberFile, LoneSign, Text[0], Expected);
    auto* TextBytes = reinterpret_cast<const std::uint8_t*>(Text.data());
    if (FuzzSupport::TwinDue(TextBytes, Text.size())) {
        std::string Twin = FuzzSupport::PaddedTwin(TextBytes, Text.size()) + "*\r\n";
        FuzzSupport::WriteFile(TwinFile, Twin.data(), Twin.size());
        CheckScan(TwinFile, LoneSign, Text[0], Expected);
    }

    // A coordinate field: the value exactly, or the range error, never a wrap.
    std::int32_t Value = 12345;
    bool Found = false;
    int Code = FuzzSupport::RunPhase([&] {
        Parser::OpenInput(NumberFile);
        Dize274::ReadIntParam(Dize274::kFullMin, Dize274::kFullMax, Value, Found);
    });
    bool InRange = !LoneSign && Expected >= Dize274::kFullMin && Expected <= Dize274::kFullMax;
    if (InRange) {
        FUZZ_CHECK(Code == -1 && Found && Value == Expected);
    } else {
        FUZZ_CHECK(Code == 1);
    }
    FUZZ_CHECK(FuzzSupport::RunPhase(Parser::CloseInput) == -1);
    return 0;
}
