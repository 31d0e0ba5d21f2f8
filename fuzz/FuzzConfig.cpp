// The configuration reader on arbitrary bytes. A configuration that is read
// to the end must leave every setting in its range; then a fixed Gerber file
// that draws and flashes with every aperture at extreme coordinates must
// give exactly the PCB file (or the range error) that a 128-bit model of the
// transform and the pattern table predicts. The padded twin of the input
// (blanks in front, so that the reader's buffer ends inside it), made for one
// input in eight, must end the same way, at the same line, with the same
// settings.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Dize274/ConfigReader.h"
#include "Dize274/GerberReader.h"
#include "Dize274/RunFiles.h"
#include "Dize274/Settings.h"
#include "FuzzSupport.h"
#include "Parser/Parser.h"

namespace {

std::string CfgFile;
std::string TwinFile;
std::string GerberFile;
std::string PcbFile;

constexpr std::int32_t kCoords[] = {0,          10000,       -1,        25400,
                                    2147483647, -2147483647, 123456789, -76543};
constexpr std::size_t kCoordCount = std::size(kCoords);

struct Block {
    int D;
    std::int32_t MoveX, MoveY, DrawX, DrawY;
};
std::vector<Block> Blocks;

// Round to nearest, halves to even, by 128-bit floor division: another road
// to the result than the product's, which divides the magnitude by a
// reciprocal and rounds it.
bool Scale(std::int32_t v, std::int32_t o, std::int32_t m, std::int32_t q, std::int32_t& Out) {
    __int128 p = (__int128{v} - o) * m;
    __int128 f = p / q;
    if (p % q != 0 && p < 0) {
        --f;
    }
    __int128 r = p - f * q;  // 0 <= r < q
    if (2 * r > q || (2 * r == q && f % 2 != 0)) {
        ++f;
    }
    if (f < INT32_MIN || f > INT32_MAX) {
        return false;
    }
    Out = static_cast<std::int32_t>(f);
    return true;
}

bool ScaleX(std::int32_t v, std::int32_t& Out) {
    return Scale(v, Dize274::XOffs, Dize274::XMult, Dize274::XDiv, Out);
}

bool ScaleY(std::int32_t v, std::int32_t& Out) {
    return Scale(v, Dize274::YOffs, Dize274::YMult, Dize274::YDiv, Out);
}

void Record(std::string& Pcb, std::string& Section, const char* Header,
            std::initializer_list<std::int64_t> Numbers) {
    if (Section != Header) {
        if (!Section.empty()) {
            Pcb += "  )\r\n";
        }
        Pcb += std::string(Header) + "\r\n";
        Section = Header;
    }
    Pcb += "    (";
    for (std::int64_t n : Numbers) {
        Pcb += std::to_string(n) + " ";
    }
    Pcb.back() = ')';
    Pcb += "\r\n";
}

// The PCB file the fixed Gerber file must give with the current settings;
// false when one of its points must be out of range.
bool ExpectedPcb(std::string& Pcb) {
    Pcb = "{ Converted from a Gerber file by Lumarind ver. 4.0 }\r\n\r\nLayout (\r\n";
    std::string Section;
    std::int32_t CurX = 0;
    std::int32_t CurY = 0;
    for (const Block& b : Blocks) {
        std::int32_t X = 0;
        std::int32_t Y = 0;
        if (!ScaleX(b.MoveX, CurX) || !ScaleY(b.MoveY, CurY)) {
            return false;
        }
        if (Dize274::LineWidth[b.D] >= 0) {
            if (!ScaleX(b.DrawX, X) || !ScaleY(b.DrawY, Y)) {
                return false;
            }
            Record(Pcb, Section, "  Lines (",
                   {CurX, CurY, X, Y, Dize274::LineWidth[b.D], Dize274::Layer});
            CurX = X;
            CurY = Y;
        }
        if (Dize274::PadPattern[b.D] >= 0) {
            if (!ScaleX(b.DrawX, X) || !ScaleY(b.DrawY, Y)) {
                return false;
            }
            Record(Pcb, Section, "  Pads (", {X, Y, Dize274::PadPattern[b.D]});
        }
    }
    if (!Section.empty()) {
        Pcb += "  )\r\n";
    }
    Pcb += ")\r\n";
    return true;
}

// Everything a configuration file can set.
std::vector<std::int32_t> Settings() {
    std::vector<std::int32_t> All = {Dize274::XMult, Dize274::XDiv,      Dize274::XOffs,
                                     Dize274::YMult, Dize274::YDiv,      Dize274::YOffs,
                                     Dize274::Layer, Dize274::FillWidth, Dize274::FillSize};
    All.insert(All.end(), std::begin(Dize274::LineWidth), std::end(Dize274::LineWidth));
    All.insert(All.end(), std::begin(Dize274::PadPattern), std::end(Dize274::PadPattern));
    return All;
}

// Reads the configuration file Name; the exit code of a fatal end, or -1.
int RunConfig(const std::string& Name) {
    FuzzSupport::ResetSettings();
    Dize274::GerberName = GerberFile;
    Dize274::PcbName = PcbFile;
    Dize274::CfgName = Name;
    int Code = FuzzSupport::RunPhase(Dize274::ReadConfig);
    FUZZ_CHECK(Code == -1 || Code == 1);
    return Code;
}

void CheckSettings() {
    FUZZ_CHECK(Dize274::XDiv >= 1 && Dize274::YDiv >= 1);
    FUZZ_CHECK(Dize274::XMult != INT32_MIN && Dize274::YMult != INT32_MIN);
    FUZZ_CHECK(Dize274::XOffs != INT32_MIN && Dize274::YOffs != INT32_MIN);
    FUZZ_CHECK(Dize274::Layer >= 0 && Dize274::Layer <= Dize274::kMaxLayer);
    FUZZ_CHECK(Dize274::FillWidth == -1
                   ? Dize274::FillSize == 0
                   : Dize274::FillWidth >= 0 && Dize274::FillWidth <= Dize274::kMaxWidth &&
                         Dize274::FillSize >= 1 && Dize274::FillSize <= Dize274::kMaxFillSize);
    for (int d = Dize274::kFirstAperture; d <= Dize274::kLastAperture; ++d) {
        FUZZ_CHECK(Dize274::LineWidth[d] >= -1 && Dize274::LineWidth[d] <= Dize274::kMaxWidth);
        FUZZ_CHECK(Dize274::PadPattern[d] >= -1 && Dize274::PadPattern[d] <= Dize274::kMaxPattern);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::QuietConsole();
    FuzzSupport::MakeScratchDir();
    CfgFile = FuzzSupport::MakeScratchFile("cfg");
    TwinFile = FuzzSupport::MakeScratchFile("twin");
    GerberFile = FuzzSupport::MakeScratchFile("in");
    PcbFile = FuzzSupport::ScratchRoot + "/out.PCB";

    std::string Gerber = "G54*\r\n";
    for (int d = Dize274::kFirstAperture; d <= Dize274::kLastAperture; ++d) {
        std::size_t i = static_cast<std::size_t>(d - Dize274::kFirstAperture);
        Block b{d, kCoords[i % kCoordCount], kCoords[i / kCoordCount % kCoordCount],
                kCoords[(i + 3) % kCoordCount], kCoords[(i * 5 + 1) % kCoordCount]};
        Blocks.push_back(b);
        Gerber += "D" + std::to_string(d) + "*X" + std::to_string(b.MoveX) + "Y" +
                  std::to_string(b.MoveY) + "D02*X" + std::to_string(b.DrawX) + "Y" +
                  std::to_string(b.DrawY) + "D01*D03*\r\n";
    }
    Gerber += "M02*\r\n";
    FuzzSupport::WriteFile(GerberFile, Gerber.data(), Gerber.size());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    FuzzSupport::SaveFuzzerHandlers();
    FuzzSupport::WriteFile(CfgFile, Data, Size);
    ::unlink(PcbFile.c_str());

    if (FuzzSupport::TwinDue(Data, Size)) {
        std::string Twin = FuzzSupport::PaddedTwin(Data, Size);
        FuzzSupport::WriteFile(TwinFile, Twin.data(), Twin.size());
        int TwinCode = RunConfig(TwinFile);
        std::int32_t TwinLines = Parser::LineNo;
        std::vector<std::int32_t> TwinSettings = Settings();
        FUZZ_CHECK(RunConfig(CfgFile) == TwinCode);
        if (FuzzSupport::TwinCountsSameLines(Data, Size)) {
            FUZZ_CHECK(Parser::LineNo == TwinLines);
        }
        FUZZ_CHECK(Settings() == TwinSettings);
    }
    int Code = RunConfig(CfgFile);
    if (Code == -1) {
        CheckSettings();
        std::string Expected;
        bool InRange = ExpectedPcb(Expected);
        Code = FuzzSupport::RunPhase(Dize274::ReadGerber);
        FUZZ_CHECK(Code == (InRange ? -1 : 1));
        if (InRange) {
            FUZZ_CHECK(FuzzSupport::ReadFile(PcbFile) == Expected);
        }
    }
    FuzzSupport::RestoreFuzzerHandlers();
    FuzzSupport::CheckLeftovers({CfgFile, TwinFile, GerberFile}, PcbFile, Code == -1);
    return 0;
}
