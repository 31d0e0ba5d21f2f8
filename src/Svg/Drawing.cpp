#include <algorithm>
#include <bit>
#include <cmath>

#include "Svg/Svg.h"

namespace Svg {

namespace {

// Sixteen colours told apart at a glance, each dark enough to stand out on
// the white background; layer 10, the converter's built-in one, is copper.
constexpr std::string_view kLayerColours[16] = {
    "#c62828", "#1565c0", "#2e7d32", "#6a1b9a", "#ef6c00", "#00838f", "#ad1457", "#4e342e",
    "#827717", "#283593", "#b5651d", "#558b2f", "#37474f", "#d81b60", "#0277bd", "#795548",
};

// The margin around the board: a twentieth of its longer side, at least this.
constexpr std::int64_t kMinMargin = 50;
// The caption's letters: this many fit across the picture's width.
constexpr std::int64_t kLettersAcross = 64;
constexpr std::int64_t kLongSidePixels = 1000;
// A caption letter's width, in tenths of its size: sans-serif letters
// average a little over half their size, digits and capitals more.
constexpr std::int64_t kLetterTenths = 6;

// The sheet in use: Listed says which of its codes it has.
bool Sheeted = false;
Sheet::CodeSheet Sizes;
std::string Name;

void Widen(Box& B, std::int64_t x, std::int64_t y, std::int64_t rx, std::int64_t ry) {
    if (B.Empty) {
        B = {false, x - rx, y - ry, x + rx, y + ry};
        return;
    }
    B.MinX = std::min(B.MinX, x - rx);
    B.MinY = std::min(B.MinY, y - ry);
    B.MaxX = std::max(B.MaxX, x + rx);
    B.MaxY = std::max(B.MaxY, y + ry);
}

// "3, 7" for the set bits of Bits below Count.
std::string CodeList(std::uint64_t Bits, int Count) {
    std::string List;
    for (int c = 0; c < Count; ++c) {
        if ((Bits >> c & 1) != 0) {
            List += (List.empty() ? "" : ", ") + std::to_string(c);
        }
    }
    return List;
}

// The other side of a W by H picture whose longer side is kLongSidePixels.
std::int64_t ShorterSide(std::int64_t Longer, std::int64_t Shorter) {
    return std::max<std::int64_t>(1, (Shorter * kLongSidePixels + Longer / 2) / Longer);
}

}  // namespace

// The nominal sizes: a width of kWidthBase + kWidthStep * w, a radius of
// kRadiusBase + p.
constexpr std::int64_t kWidthBase = 6;
constexpr std::int64_t kWidthStep = 4;
constexpr std::int64_t kRadiusBase = 15;
static_assert(kWidthBase % 2 == 0 && kWidthStep % 2 == 0, "a line's half width is whole");

std::int64_t NominalWidth(std::uint8_t w) {
    return kWidthBase + kWidthStep * std::int64_t{w};
}

std::int64_t NominalRadius(std::uint8_t p) {
    return kRadiusBase + std::int64_t{p};
}

std::string NominalWidthFormula() {
    return std::to_string(kWidthBase) + " + " + std::to_string(kWidthStep) + "w";
}

std::string NominalDotFormula() {
    return std::to_string(2 * kRadiusBase) + " + 2p";
}

void UseSheet(const Sheet::CodeSheet& S, std::string_view SheetName) {
    Sheeted = true;
    Sizes = S;
    Name = SheetName;
}

std::string_view SheetName() {
    return Sheeted ? std::string_view(Name) : std::string_view();
}

std::int64_t LineWidth(std::uint8_t w) {
    std::int32_t Listed = Sheeted && w < Sheet::kWidthCodes ? Sizes.Width[w] : 0;
    return Listed != 0 ? Listed : NominalWidth(w);
}

Sheet::Pad PadFor(std::uint8_t p) {
    if (Sheeted && p < Sheet::kPatternCodes && Sizes.Pads[p].Listed) {
        return Sizes.Pads[p];
    }
    auto d = static_cast<std::int32_t>(2 * NominalRadius(p));
    return {false, Sheet::PadShape::kRound, d, d};
}

std::string UnlistedCodes(const Summary& S) {
    if (!Sheeted) {
        return {};
    }
    std::uint64_t Widths = 0;
    std::uint64_t Patterns = 0;
    for (int c = 0; c < Sheet::kPatternCodes; ++c) {
        if (c < Sheet::kWidthCodes && (S.WidthCodes >> c & 1) != 0 && Sizes.Width[c] == 0) {
            Widths |= std::uint64_t{1} << c;
        }
        if ((S.PatternCodes >> c & 1) != 0 && !Sizes.Pads[c].Listed) {
            Patterns |= std::uint64_t{1} << c;
        }
    }
    std::string Text;
    if (Widths != 0) {
        Text = (std::popcount(Widths) == 1 ? "width code " : "width codes ") +
               CodeList(Widths, Sheet::kWidthCodes);
    }
    if (Patterns != 0) {
        Text += Text.empty() ? "" : "; ";
        Text += std::popcount(Patterns) == 1 ? "pattern code " : "pattern codes ";
        Text += CodeList(Patterns, Sheet::kPatternCodes);
    }
    return Text;
}

std::string_view LayerColour(std::uint8_t Layer) {
    return kLayerColours[Layer & 15];
}

std::string_view PadColour() {
    return "#202020";
}

void Tally(Summary& S, const Record& R) {
    if (R.What == Kind::kLine) {
        // Round ends: the stroke reaches half its width past each end point.
        std::int64_t r = (LineWidth(R.Code) + 1) / 2;
        Widen(S.Bounds, R.X1, R.Y1, r, r);
        Widen(S.Bounds, R.X2, R.Y2, r, r);
        ++S.Lines;
        S.Layers = static_cast<std::uint16_t>(S.Layers | 1u << (R.Layer & 15));
        S.WidthCodes = static_cast<std::uint16_t>(S.WidthCodes | 1u << (R.Code & 15));
    } else {
        Sheet::Pad P = PadFor(R.Code);
        Widen(S.Bounds, R.X1, R.Y1, (P.X + 1) / 2, (P.Y + 1) / 2);
        ++S.Pads;
        S.PatternCodes |= std::uint64_t{1} << (R.Code & 63);
    }
}

Frame FrameFor(const Box& Bounds, std::size_t CaptionLetters) {
    Box B = Bounds.Empty ? Box{false, 0, 0, 0, 0} : Bounds;
    std::int64_t Margin = std::max(kMinMargin, std::max(B.MaxX - B.MinX, B.MaxY - B.MinY) / 20);
    Frame F;
    F.X = B.MinX - Margin;
    F.Y = -B.MaxY - Margin;
    F.Width = B.MaxX - B.MinX + 2 * Margin;
    std::int64_t BoardHeight = B.MaxY - B.MinY + 2 * Margin;
    // The longest line and a letter's room on its left fit across.
    auto Letters = static_cast<std::int64_t>(std::min<std::size_t>(CaptionLetters, 100000));
    double Fits =
        static_cast<double>(F.Width) * 10 / static_cast<double>(kLetterTenths * Letters + 10);
    std::int64_t Size = std::min(std::max<std::int64_t>(2, F.Width / kLettersAcross),
                                 static_cast<std::int64_t>(Fits));
    if (Size >= 2 && Size <= kMaxFontSize) {
        F.FontSize = Size;
        F.LinePitch = F.FontSize * 3 / 2;
        F.CaptionLeft = F.X + F.FontSize;
        F.CaptionTop = F.Y + BoardHeight + F.FontSize;
        // Below the last baseline, room for the letters' descenders.
        F.Height = BoardHeight + F.FontSize + (kCaptionLines - 1) * F.LinePitch + F.FontSize / 2;
    } else {
        // A letter's room on the left rounds up to a whole unit: one less to fill.
        double Real =
            std::min(Fits * static_cast<double>(F.Width - 1) / static_cast<double>(F.Width),
                     static_cast<double>(F.Width) / kLettersAcross);
        auto Up = [](double v) { return static_cast<std::int64_t>(std::ceil(v)); };
        F.FontSize = kTextSize;
        F.LinePitch = kTextSize * 3 / 2;
        F.TextScale = Real / kTextSize;
        F.CaptionLeft = F.X + Up(Real);
        F.CaptionTop = F.Y + BoardHeight + Up(Real);
        F.Height = BoardHeight + Up(Real) + Up(Real * (1.5 * (kCaptionLines - 1) + 0.5));
    }
    if (F.Width >= F.Height) {
        F.PixelWidth = kLongSidePixels;
        F.PixelHeight = ShorterSide(F.Width, F.Height);
    } else {
        F.PixelHeight = kLongSidePixels;
        F.PixelWidth = ShorterSide(F.Height, F.Width);
    }
    F.MinStroke = std::max(F.Width, F.Height) / (2 * kLongSidePixels);
    return F;
}

}  // namespace Svg
