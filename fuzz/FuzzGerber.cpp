// The Gerber pass on arbitrary bytes, with the built-in settings. A completed
// run must leave a well-formed PCB file; a fatal end must leave none, and
// never a temporary file; the input must come out as it went in.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "Dize274/Dize274Internal.h"
#include "FuzzSupport.h"

namespace {

std::string GerberFile;
std::string PcbFile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::QuietConsole();
    FuzzSupport::MakeScratchDir();
    GerberFile = FuzzSupport::MakeScratchFile("in");
    PcbFile = FuzzSupport::ScratchRoot + "/out.PCB";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    FuzzSupport::SaveFuzzerHandlers();
    FuzzSupport::WriteFile(GerberFile, Data, Size);
    ::unlink(PcbFile.c_str());

    FuzzSupport::ResetSettings();
    Dize274::GerberName = GerberFile;
    Dize274::PcbName = PcbFile;
    Dize274::CfgName = std::string(Dize274::kNoConfig);
    int Code = FuzzSupport::RunPhase(Dize274::ReadGerber);
    FuzzSupport::RestoreFuzzerHandlers();

    FUZZ_CHECK(Code == -1 || Code == 1);
    bool Completed = Code == -1;
    FuzzSupport::CheckLeftovers({GerberFile}, PcbFile, Completed);
    FUZZ_CHECK(FuzzSupport::ReadFile(GerberFile) ==
               std::string(reinterpret_cast<const char*>(Data), Size));
    if (Completed) {
        FuzzSupport::CheckPcbLayout(FuzzSupport::ReadFile(PcbFile), Dize274::Layer);
    }
    return 0;
}
