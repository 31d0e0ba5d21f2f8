#include "Dize274/ConfigReader.h"

#include "Dize274/Console.h"
#include "Dize274/IntParam.h"
#include "Dize274/RunFiles.h"
#include "Dize274/Settings.h"
#include "Parser/Parser.h"

namespace Dize274 {

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
    ReadIntParam(0, kMaxLayer, Layer, Found);
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
        ReadIntParam(-1, kMaxWidth, w, Found);
        ReadIntParam(-1, kMaxPattern, p, Found);
        if (!Found) {
            Error("Missing pattern table entry.");
        }
        LineWidth[d] = w;
        PadPattern[d] = p;
    }

    Parser::CloseInput();
}

}  // namespace Dize274
