#include <algorithm>

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

void Widen(Box& B, std::int64_t x, std::int64_t y, std::int64_t r) {
    if (B.Empty) {
        B = {false, x - r, y - r, x + r, y + r};
        return;
    }
    B.MinX = std::min(B.MinX, x - r);
    B.MinY = std::min(B.MinY, y - r);
    B.MaxX = std::max(B.MaxX, x + r);
    B.MaxY = std::max(B.MaxY, y + r);
}

// The other side of a W by H picture whose longer side is kLongSidePixels.
std::int64_t ShorterSide(std::int64_t Longer, std::int64_t Shorter) {
    return std::max<std::int64_t>(1, (Shorter * kLongSidePixels + Longer / 2) / Longer);
}

}  // namespace

std::int64_t NominalWidth(std::uint8_t w) {
    return 6 + 4 * std::int64_t{w};
}

std::int64_t NominalRadius(std::uint8_t p) {
    return 15 + std::int64_t{p};
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
        std::int64_t r = NominalWidth(R.Code) / 2;
        Widen(S.Bounds, R.X1, R.Y1, r);
        Widen(S.Bounds, R.X2, R.Y2, r);
        ++S.Lines;
        S.Layers = static_cast<std::uint16_t>(S.Layers | 1u << (R.Layer & 15));
    } else {
        Widen(S.Bounds, R.X1, R.Y1, NominalRadius(R.Code));
        ++S.Pads;
    }
}

Frame FrameFor(const Box& Bounds) {
    Box B = Bounds.Empty ? Box{false, 0, 0, 0, 0} : Bounds;
    std::int64_t Margin = std::max(kMinMargin, std::max(B.MaxX - B.MinX, B.MaxY - B.MinY) / 20);
    Frame F;
    F.X = B.MinX - Margin;
    F.Y = -B.MaxY - Margin;
    F.Width = B.MaxX - B.MinX + 2 * Margin;
    std::int64_t BoardHeight = B.MaxY - B.MinY + 2 * Margin;
    F.FontSize = std::max<std::int64_t>(2, F.Width / kLettersAcross);
    F.LinePitch = F.FontSize * 3 / 2;
    F.CaptionLeft = F.X + F.FontSize;
    F.CaptionTop = F.Y + BoardHeight + F.FontSize;
    // Below the last baseline, room for the letters' descenders.
    F.Height = BoardHeight + F.FontSize + (kCaptionLines - 1) * F.LinePitch + F.FontSize / 2;
    if (F.Width >= F.Height) {
        F.PixelWidth = kLongSidePixels;
        F.PixelHeight = ShorterSide(F.Width, F.Height);
    } else {
        F.PixelHeight = kLongSidePixels;
        F.PixelWidth = ShorterSide(F.Height, F.Width);
    }
    return F;
}

}  // namespace Svg
