// Aperture definitions and macros on arbitrary bytes, cut into parameters as
// the block reader cuts them ("%" to "%", each ended by "*", line ends left
// out). Every parameter must be taken or refused with a reason; an aperture
// must have a finite extent, no negative size, a stroke within its extent
// (a polygon's: its outer diameter), and a flash of finite corners inside
// that extent wherever they are dark. Many apertures of one long macro cost
// the product of the two, which the module bounds per file; the checks look
// at the first kMaxApertures of an input, so that each runs in milliseconds.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "Gerber/Gerber.h"

namespace {

constexpr int kMaxApertures = 12;
int Apertures = 0;

void CheckAperture(const Gerber::Aperture& a) {
    FUZZ_CHECK(std::isfinite(a.Width) && std::isfinite(a.Height) && std::isfinite(a.Stroke));
    FUZZ_CHECK(a.Width >= 0 && a.Height >= 0 && a.Stroke >= 0);
    if (a.Kind == Gerber::Shape::kPolygon) {
        FUZZ_CHECK(a.Vertices >= 3 && a.Vertices <= 12);
    } else {
        FUZZ_CHECK(a.Stroke <= std::max(a.Width, a.Height));
    }
    double Slack = 1e-9 * (1 + a.Width + a.Height);
    for (const Gerber::Contour& c : Gerber::FlashGeometry(a)) {
        for (const Gerber::Point& p : c.Points) {
            FUZZ_CHECK(std::isfinite(p.X) && std::isfinite(p.Y));
            if (c.Dark) {
                FUZZ_CHECK(p.X >= a.Left - Slack && p.X <= a.Left + a.Width + Slack);
                FUZZ_CHECK(p.Y >= a.Bottom - Slack && p.Y <= a.Bottom + a.Height + Slack);
            }
        }
    }
}

void Take(const std::string& Text, bool First) {
    Gerber::Aperture a;
    std::string Why;
    switch (Gerber::TakeApertureParameter(Text, First, a, Why)) {
        case Gerber::Taken::kAperture:
            CheckAperture(a);
            ++Apertures;
            break;
        case Gerber::Taken::kMalformed:
            FUZZ_CHECK(!Why.empty() && Why.back() == '.');
            break;
        case Gerber::Taken::kMacro:
        case Gerber::Taken::kOther:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    Gerber::ForgetMacros();
    Apertures = 0;
    bool InBlock = false;
    bool First = true;
    std::string Text;
    for (std::size_t i = 0; i < Size && Apertures < kMaxApertures; ++i) {
        char c = static_cast<char>(Data[i]);
        if (c == '%') {
            InBlock = !InBlock;
            First = true;
            Text.clear();
        } else if (!InBlock || c == '\r' || c == '\n') {
            continue;
        } else if (c == '*') {
            Take(Text, First);
            First = false;
            Text.clear();
        } else {
            Text.push_back(c);
        }
    }
    return 0;
}
