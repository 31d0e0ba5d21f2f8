#include "Dize274/Dize274Internal.h"
#include "Parser/Parser.h"

namespace Dize274 {

namespace {

constexpr std::int32_t kFullMin = -2147483647;
constexpr std::int32_t kFullMax = 2147483647;

}  // namespace

void ReadConfig() {
    WriteLine("Reading configuration file " + CfgName + " . . .");
    Parser::OpenInput(CfgName);

    // One flag for all seven: once the input has ended every later read finds
    // nothing too, so a single test after the last one catches any gap.
    bool Found = false;
    ReadIntParam(kFullMin, kFullMax, XMult, Found);
    ReadIntParam(1, kFullMax, XDiv, Found);
    ReadIntParam(kFullMin, kFullMax, XOffs, Found);
    ReadIntParam(kFullMin, kFullMax, YMult, Found);
    ReadIntParam(1, kFullMax, YDiv, Found);
    ReadIntParam(kFullMin, kFullMax, YOffs, Found);
    ReadIntParam(0, 15, Layer, Found);
    if (!Found) {
        Error("Missing transformation parameter.");
    }

    for (;;) {
        std::int32_t d = 0;
        std::int32_t w = 0;
        std::int32_t p = 0;
        ReadIntParam(kFirstAperture, kLastAperture, d, Found);
        if (!Found) {
            break;
        }
        ReadIntParam(-1, 15, w, Found);
        ReadIntParam(-1, 63, p, Found);
        if (!Found) {
            Error("Missing pattern table entry.");
        }
        LineWidth[d] = w;
        PadPattern[d] = p;
    }

    Parser::CloseInput();
}

}  // namespace Dize274
