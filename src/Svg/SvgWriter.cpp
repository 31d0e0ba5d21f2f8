#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "FileIO/FileIO.h"
#include "Svg/Svg.h"

namespace Svg {

namespace {

// The file goes out in pieces of this size; a failed write is seen at the
// record whose text set it off.
constexpr std::size_t kOutSize = 65536;
char Out[kOutSize];
std::size_t Used = 0;
bool Failed = false;

// Consecutive records of one kind, and lines of one layer, share a group
// that gives their colour; consecutive lines of one width share a path, and
// a line that starts where the last one ended continues its stroke. A path
// is cut after kMaxSegments, so that no viewer meets one of millions.
enum class Group : std::uint8_t { kNone, kLines, kPads };
Group CurGroup = Group::kNone;
std::uint8_t CurLayer = 0;
bool PathOpen = false;
std::uint8_t PathCode = 0;
int PathSegments = 0;
std::int32_t PenX = 0;
std::int32_t PenY = 0;
constexpr int kMaxSegments = 500;
// What the frame asks of every stroke and pad: see Frame::MinStroke.
std::int64_t MinStroke = 0;

void Flush() {
    if (Used > 0) {
        FileIO::WriteReplacing(Out, Used);
        Used = 0;
        Failed = Failed || FileIO::IOError();
    }
}

void Put(std::string_view s) {
    if (Used + s.size() > kOutSize) {
        Flush();
        if (s.size() > kOutSize) {  // a file name of more than a piece
            FileIO::WriteReplacing(s.data(), s.size());
            Failed = Failed || FileIO::IOError();
            return;
        }
    }
    std::memcpy(Out + Used, s.data(), s.size());
    Used += s.size();
}

void PutInt(std::int64_t v) {
    char Digits[24];
    auto [End, Ec] = std::to_chars(Digits, Digits + sizeof Digits, v);
    (void)Ec;  // 24 characters hold every 64-bit value
    Put({Digits, static_cast<std::size_t>(End - Digits)});
}

// v with at most three decimals, no trailing zeros.
void PutDecimal(double v) {
    if (v == 0) {
        v = 0;  // never "-0"
    }
    char Digits[48];
    auto [End, Ec] = std::to_chars(Digits, Digits + sizeof Digits, v, std::chars_format::fixed, 3);
    (void)Ec;  // 48 characters hold every value drawn here
    while (End[-1] == '0') {
        --End;
    }
    if (End[-1] == '.') {
        --End;
    }
    Put({Digits, static_cast<std::size_t>(End - Digits)});
}

// " Name="v"".
void PutAttr(std::string_view Name, std::int64_t v) {
    Put(" ");
    Put(Name);
    Put("=\"");
    PutInt(v);
    Put("\"");
}

// A layout point in SVG's axes, whose Y points down.
void PutPoint(std::int32_t x, std::int32_t y) {
    PutInt(x);
    Put(" ");
    PutInt(-std::int64_t{y});
}

void EndPath() {
    if (PathOpen) {
        Put("\"/>\n");
        PathOpen = false;
    }
}

void EndGroup() {
    EndPath();
    if (CurGroup != Group::kNone) {
        Put("</g>\n");
        CurGroup = Group::kNone;
    }
}

void PutCount(std::uint64_t n) {
    PutInt(static_cast<std::int64_t>(n));
}

// A piece of a caption line, in a colour of its own when Colour is given.
struct Piece {
    std::string Text;
    std::string_view Colour;
};
using CaptionLine = std::vector<Piece>;

// "NAME: lines: 121 on layer 10, pads: 36", each layer number and the pads
// in their colours.
CaptionLine CaptionCounts(const std::string& PcbName, const Summary& S) {
    CaptionLine Line;
    std::string Head = PcbName + ": lines: " + std::to_string(S.Lines);
    if (S.Layers != 0) {
        Head += std::popcount(S.Layers) == 1 ? " on layer" : " on layers";
    }
    Line.push_back({Head, {}});
    for (std::uint8_t l = 0; l < 16; ++l) {
        if ((S.Layers >> l & 1) != 0) {
            Line.push_back({" ", {}});
            Line.push_back({std::to_string(l), LayerColour(l)});
        }
    }
    Line.push_back({", ", {}});
    Line.push_back({"pads: " + std::to_string(S.Pads), PadColour()});
    return Line;
}

// The caption: the counts, then what the sizes mean.
std::vector<CaptionLine> Caption(const std::string& PcbName, const Summary& S) {
    std::vector<CaptionLine> Lines = {CaptionCounts(PcbName, S)};
    if (SheetName().empty()) {
        Lines.push_back(
            {{"Width and pattern codes are symbols whose sizes only the design system "
              "knows;",
              {}}});
        Lines.push_back(
            {{"here a line of width code w is " + NominalWidthFormula() +
                  " units wide, a pad of pattern code p " + NominalDotFormula() + " across.",
              {}}});
    } else {
        std::string Unlisted = UnlistedCodes(S);
        Lines.push_back({{"Sizes from the code sheet " + std::string(SheetName()) +
                              ": lines with their width code's width and round ends,",
                          {}}});
        Lines.push_back(
            {{Unlisted.empty()
                  ? std::string("pads in their pattern's shape and size.")
                  : "pads in their pattern's shape and size; not on the sheet, drawn at "
                    "nominal sizes: " +
                        Unlisted + ".",
              {}}});
    }
    return Lines;
}

// Characters, not bytes: what a line's width depends on.
std::size_t Letters(const CaptionLine& Line) {
    std::size_t n = 0;
    for (const Piece& P : Line) {
        for (char c : P.Text) {
            n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
        }
    }
    return n;
}

void PutCaption(const Frame& F, const std::vector<CaptionLine>& Lines) {
    Put("<g font-family=\"sans-serif\"");
    PutAttr("font-size", F.FontSize);
    Put(" fill=\"#404040\"");
    std::int64_t Left = F.CaptionLeft;
    std::int64_t Top = F.CaptionTop;
    if (F.TextScale != 0) {
        // Laid out at a usual size, then scaled to the picture's.
        Put(" transform=\"translate(");
        PutInt(F.CaptionLeft);
        Put(" ");
        PutInt(F.CaptionTop);
        Put(") scale(");
        char Digits[32];
        auto [End, Ec] = std::to_chars(Digits, Digits + sizeof Digits, F.TextScale,
                                       std::chars_format::general, 6);
        (void)Ec;  // 32 characters hold every double at 6 digits
        Put({Digits, static_cast<std::size_t>(End - Digits)});
        Put(")\"");
        Left = Top = 0;
    }
    Put(">\n");
    for (std::size_t i = 0; i < Lines.size(); ++i) {
        Put("<text");
        PutAttr("x", Left);
        PutAttr("y", Top + static_cast<std::int64_t>(i) * F.LinePitch);
        Put(">");
        for (const Piece& P : Lines[i]) {
            if (!P.Colour.empty()) {
                Put("<tspan fill=\"");
                Put(P.Colour);
                Put("\">");
            }
            Put(XmlText(P.Text));
            if (!P.Colour.empty()) {
                Put("</tspan>");
            }
        }
        Put("</text>\n");
    }
    Put("</g>\n");
}

void PutHead(const std::string& PcbName, const Summary& S) {
    std::vector<CaptionLine> Lines = Caption(PcbName, S);
    std::size_t Longest = 0;
    for (const CaptionLine& Line : Lines) {
        Longest = std::max(Longest, Letters(Line));
    }
    Frame F = FrameFor(S.Bounds, Longest);
    MinStroke = F.MinStroke;
    Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    Put("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"");
    PutAttr("width", F.PixelWidth);
    PutAttr("height", F.PixelHeight);
    Put(" viewBox=\"");
    PutInt(F.X);
    Put(" ");
    PutInt(F.Y);
    Put(" ");
    PutInt(F.Width);
    Put(" ");
    PutInt(F.Height);
    Put("\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n<title>");
    Put(XmlText(PcbName));
    Put("</title>\n<desc>Drawn by ");
    Put(kNameAndVersion);
    Put(" from the PCB file ");
    Put(XmlText(PcbName));
    Put(" (line records: ");
    PutCount(S.Lines);
    Put(", pad records: ");
    PutCount(S.Pads);
    if (SheetName().empty()) {
        Put("), in layout units with the Y axis pointing up; lines in their layer's "
            "colour, pads in a colour of their own. Width codes and pattern codes are symbols "
            "whose sizes only the design system knows: here a line of width code w is drawn ");
        Put(NominalWidthFormula() + " units wide and a pad of pattern code p as a dot " +
            NominalDotFormula() + " units across.</desc>\n");
    } else {
        Put(") with the code sheet ");
        Put(XmlText(SheetName()));
        Put(", in layout units with the Y axis pointing up; lines in their layer's colour, pads "
            "in a colour of their own. Each line is drawn with its width code's width and round "
            "ends, each pad in its pattern's shape and size; a code the sheet does not list at a "
            "nominal size (a line of width code w ");
        Put(NominalWidthFormula() + " units wide, a pad of pattern code p a dot " +
            NominalDotFormula() + " units across).</desc>\n");
    }
    Put("<rect");
    PutAttr("x", F.X);
    PutAttr("y", F.Y);
    PutAttr("width", F.Width);
    PutAttr("height", F.Height);
    Put(" fill=\"#ffffff\"/>\n");
    PutCaption(F, Lines);
}

void DrawLine(const Record& R) {
    if (CurGroup != Group::kLines || CurLayer != R.Layer) {
        EndGroup();
        Put("<g fill=\"none\" stroke=\"");
        Put(LayerColour(R.Layer));
        Put("\">\n");
        CurGroup = Group::kLines;
        CurLayer = R.Layer;
    }
    if (!PathOpen || PathCode != R.Code || PathSegments == kMaxSegments) {
        EndPath();
        Put("<path");
        PutAttr("stroke-width", std::max(LineWidth(R.Code), MinStroke));
        Put(" d=\"M");
        PathOpen = true;
        PathCode = R.Code;
        PathSegments = 0;
        PutPoint(R.X1, R.Y1);
    } else if (R.X1 != PenX || R.Y1 != PenY) {
        Put("\nM");
        PutPoint(R.X1, R.Y1);
    }
    Put("L");
    PutPoint(R.X2, R.Y2);
    PenX = R.X2;
    PenY = R.Y2;
    ++PathSegments;
}

void DrawPad(const Record& R) {
    if (CurGroup != Group::kPads) {
        EndGroup();
        Put("<g fill=\"");
        Put(PadColour());
        Put("\">\n");
        CurGroup = Group::kPads;
    }
    Sheet::Pad P = PadFor(R.Code);
    double w = static_cast<double>(std::max<std::int64_t>(P.X, 2 * MinStroke));
    double h = static_cast<double>(std::max<std::int64_t>(P.Y, 2 * MinStroke));
    double x = R.X1;
    double y = -static_cast<double>(R.Y1);
    switch (P.Shape) {
        case Sheet::PadShape::kRound:
            Put("<circle");
            PutAttr("cx", R.X1);
            PutAttr("cy", -std::int64_t{R.Y1});
            Put(" r=\"");
            PutDecimal(w / 2);
            Put("\"/>\n");
            break;
        case Sheet::PadShape::kRect:
        case Sheet::PadShape::kOblong:
            Put("<rect x=\"");
            PutDecimal(x - w / 2);
            Put("\" y=\"");
            PutDecimal(y - h / 2);
            Put("\" width=\"");
            PutDecimal(w);
            Put("\" height=\"");
            PutDecimal(h);
            if (P.Shape == Sheet::PadShape::kOblong) {
                // Corners rounded by half the shorter side: half-round ends.
                Put("\" rx=\"");
                PutDecimal(std::min(w, h) / 2);
            }
            Put("\"/>\n");
            break;
        case Sheet::PadShape::kOctagon: {
            // Regular, w across the flats, the flats parallel to the axes.
            double a = w / 2;
            double b = a * (std::sqrt(2.0) - 1);
            const double Corners[8][2] = {{a, b},   {b, a},   {-b, a}, {-a, b},
                                          {-a, -b}, {-b, -a}, {b, -a}, {a, -b}};
            Put("<polygon points=\"");
            for (int i = 0; i < 8; ++i) {
                Put(i == 0 ? "" : " ");
                PutDecimal(x + Corners[i][0]);
                Put(",");
                PutDecimal(y + Corners[i][1]);
            }
            Put("\"/>\n");
            break;
        }
    }
}

}  // namespace

bool OpenSvg(const std::string& SvgName, const std::string& PcbName, const Summary& S) {
    Used = 0;
    Failed = false;
    CurGroup = Group::kNone;
    PathOpen = false;
    // Never the PCB file: creating the picture would destroy what it shows.
    FileIO::OpenReplacing(SvgName, PcbName);
    if (FileIO::IOError()) {
        return false;
    }
    PutHead(PcbName, S);
    return !Failed;
}

bool DrawRecord(const Record& R) {
    if (R.What == Kind::kLine) {
        DrawLine(R);
    } else {
        DrawPad(R);
    }
    return !Failed;
}

bool CloseSvg() {
    EndGroup();
    Put("</svg>\n");
    Flush();
    if (Failed) {
        return false;
    }
    FileIO::CommitReplacing();
    return !FileIO::IOError();
}

void AbandonSvg() {
    FileIO::AbandonReplacing();
    Used = 0;
    CurGroup = Group::kNone;
    PathOpen = false;
}

}  // namespace Svg
