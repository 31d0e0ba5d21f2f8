// The Gerber pass on arbitrary bytes, with the built-in settings, and for an
// input whose first byte is odd a fill entry whose line width its last byte
// gives, so that regions and clear objects reach the fills. A completed
// run must leave a well-formed PCB file; a fatal end must leave none, and
// never a temporary file; the input must come out as it went in. The padded
// twin of the input (blanks in front, so that the reader's buffer ends inside
// it), made for one input in eight, must end the same way, at the same line,
// with the same PCB file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "Dize274/GerberReader.h"
#include "Dize274/RunFiles.h"
#include "Dize274/Settings.h"
#include "FuzzSupport.h"
#include "Parser/Parser.h"

namespace {

std::string GerberFile;
std::string TwinFile;
std::string PcbFile;
std::int32_t FillSize = 0;  // 0: no fill entry

// Runs the pass on Name; the exit code of a fatal end, or -1.
int RunGerber(const std::string& Name) {
    ::unlink(PcbFile.c_str());
    FuzzSupport::ResetSettings();
    if (FillSize > 0) {
        Dize274::FillWidth = 3;
        Dize274::FillSize = FillSize;
    }
    Dize274::GerberName = Name;
    Dize274::PcbName = PcbFile;
    Dize274::CfgName = std::string(Dize274::kNoConfig);
    int Code = FuzzSupport::RunPhase(Dize274::ReadGerber);
    FuzzSupport::RestoreFuzzerHandlers();
    FUZZ_CHECK(Code == -1 || Code == 1);
    return Code;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::QuietConsole();
    FuzzSupport::MakeScratchDir();
    GerberFile = FuzzSupport::MakeScratchFile("in");
    TwinFile = FuzzSupport::MakeScratchFile("twin");
    PcbFile = FuzzSupport::ScratchRoot + "/out.PCB";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    FuzzSupport::SaveFuzzerHandlers();
    FuzzSupport::WriteFile(GerberFile, Data, Size);
    FillSize = Size > 0 && Data[0] % 2 == 1 ? 1 + Data[Size - 1] % 32 : 0;

    int Code = RunGerber(GerberFile);
    std::int32_t Lines = Parser::LineNo;
    bool Completed = Code == -1;
    FuzzSupport::CheckLeftovers({GerberFile, TwinFile}, PcbFile, Completed);
    FUZZ_CHECK(FuzzSupport::ReadFile(GerberFile) ==
               std::string(reinterpret_cast<const char*>(Data), Size));
    std::string Pcb;
    if (Completed) {
        Pcb = FuzzSupport::ReadFile(PcbFile);
        FuzzSupport::CheckPcbLayout(Pcb, Dize274::Layer);
    }

    if (!FuzzSupport::TwinDue(Data, Size)) {
        return 0;
    }
    std::string Twin = FuzzSupport::PaddedTwin(Data, Size);
    FuzzSupport::WriteFile(TwinFile, Twin.data(), Twin.size());
    FUZZ_CHECK(RunGerber(TwinFile) == Code);
    if (FuzzSupport::TwinCountsSameLines(Data, Size)) {
        FUZZ_CHECK(Parser::LineNo == Lines);
    }
    FuzzSupport::CheckLeftovers({GerberFile, TwinFile}, PcbFile, Completed);
    if (Completed) {
        FUZZ_CHECK(FuzzSupport::ReadFile(PcbFile) == Pcb);
    }
    return 0;
}
