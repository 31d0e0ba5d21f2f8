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
        std::int64_t d = ReadNumber(Found);
        if (!Found) {
            break;
        }
        std::int32_t w = 0;
        if (d == kFillEntry) {
            std::int32_t s = 0;
            ReadIntParam(0, kMaxWidth, w, Found);
            ReadIntParam(1, kMaxFillSize, s, Found);
            if (!Found) {
                Error("Missing fill entry.");
            }
            FillWidth = w;
            FillSize = s;
            continue;
        }
        std::int32_t a = CheckRange(kFirstAperture, kLastAperture, d);
        std::int32_t p = 0;
        ReadIntParam(-1, kMaxWidth, w, Found);
        ReadIntParam(-1, kMaxPattern, p, Found);
        if (!Found) {
            Error("Missing pattern table entry.");
        }
        LineWidth[a] = w;
        PadPattern[a] = p;
    }

    Parser::CloseInput();
}

}  // namespace Dize274
