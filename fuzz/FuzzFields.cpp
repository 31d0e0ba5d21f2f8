// The Gerber reader's two ways to a field must agree: the plain-field call
// with the general read where it declines, and the general read alone
// (GetChar, then ScanToken after a code letter). Both read the same bytes to
// the end of the input, and every field, token, character and line number
// must come out the same. One input in eight is read again behind blanks that
// put the end of the reader's buffer inside it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Parser/Parser.h"

namespace {

std::string FieldFile;
std::string TwinFile;

struct Item {
    char Kind;  // a code letter, "." for another character, "$" for the end
    std::int64_t Value;
    std::uint8_t Digits;  // of a number, leading zeros counted
    std::int32_t Line;
    bool operator==(const Item&) const = default;
};

// Everything read from Name, of Size bytes, one item per field or character.
std::vector<Item> ReadAll(const std::string& Name, std::size_t Size, bool Plain) {
    FileIO::ClearIOError();
    FUZZ_CHECK(FuzzSupport::RunPhase([&] { Parser::OpenInput(Name); }) == -1);
    std::vector<Item> Out;
    auto Add = [&](char Kind, std::int64_t Value, std::uint8_t Digits = 0) {
        Out.push_back({Kind, Value, Digits, Parser::LineNo});
    };
    // Bounded: of two items in a row, one takes a byte at least.
    for (std::size_t Items = 0; Items <= 2 * Size + 2; ++Items) {
        std::int32_t Value = 0;
        std::uint8_t Digits = 0;
        if (char Letter = Plain ? Parser::TakePlainField(Value, Digits) : '\0'; Letter != 0) {
            Add(Letter, Value, Digits);
            continue;
        }
        char c = Parser::GetChar();
        if (c == Parser::kEndMark) {
            Add('$', Parser::ScanStatus);
            return Out;
        }
        if (c == ' ') {
            continue;  // blanks change nothing, and a twin has a buffer of them
        }
        if (c < 'A' || c > 'Z') {
            Add('.', static_cast<unsigned char>(c));
            continue;
        }
        std::uint8_t s = Parser::ScanToken();
        if (s == Parser::kNumber) {
            Add(c, Parser::NumValue, Parser::NumDigits);
        } else {
            Add(c, -1000 - s);
        }
    }
    FUZZ_CHECK(false);
    return Out;
}

void Compare(const std::string& Name, std::size_t Size) {
    FUZZ_CHECK(ReadAll(Name, Size, true) == ReadAll(Name, Size, false));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::QuietConsole();
    FuzzSupport::MakeScratchDir();
    FieldFile = FuzzSupport::MakeScratchFile("fields");
    TwinFile = FuzzSupport::MakeScratchFile("twin");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    FuzzSupport::SaveFuzzerHandlers();
    FuzzSupport::WriteFile(FieldFile, Data, Size);
    Compare(FieldFile, Size);
    if (FuzzSupport::TwinDue(Data, Size)) {
        std::string Twin = FuzzSupport::PaddedTwin(Data, Size);
        FuzzSupport::WriteFile(TwinFile, Twin.data(), Twin.size());
        Compare(TwinFile, Twin.size());
    }
    FuzzSupport::RestoreFuzzerHandlers();
    return 0;
}
