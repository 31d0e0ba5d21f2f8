#include <bit>
#include <charconv>
#include <cstring>

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

// "NAME: lines: 121 on layer 10, pads: 36", each layer number and the pads
// in their colours.
void PutCaptionCounts(const std::string& PcbName, const Summary& S) {
    Put(XmlText(PcbName));
    Put(": lines: ");
    PutCount(S.Lines);
    if (S.Layers != 0) {
        Put(std::popcount(S.Layers) == 1 ? " on layer" : " on layers");
        for (std::uint8_t l = 0; l < 16; ++l) {
            if ((S.Layers >> l & 1) != 0) {
                Put(" <tspan fill=\"");
                Put(LayerColour(l));
                Put("\">");
                PutInt(l);
                Put("</tspan>");
            }
        }
    }
    Put(", <tspan fill=\"");
    Put(PadColour());
    Put("\">pads: ");
    PutCount(S.Pads);
    Put("</tspan>");
}

void PutCaption(const Frame& F, const std::string& PcbName, const Summary& S) {
    static constexpr std::string_view kNote[] = {
        "Width and pattern codes are symbols whose sizes only the design system knows;",
        "here a line of width code w is 6 + 4w units wide, a pad of pattern code p 30 + 2p "
        "across.",
    };
    static_assert(std::size(kNote) + 1 == kCaptionLines);
    Put("<g font-family=\"sans-serif\"");
    PutAttr("font-size", F.FontSize);
    Put(" fill=\"#404040\">\n");
    for (int i = 0; i < kCaptionLines; ++i) {
        Put("<text");
        PutAttr("x", F.CaptionLeft);
        PutAttr("y", F.CaptionTop + i * F.LinePitch);
        Put(">");
        if (i == 0) {
            PutCaptionCounts(PcbName, S);
        } else {
            Put(kNote[i - 1]);
        }
        Put("</text>\n");
    }
    Put("</g>\n");
}

void PutHead(const std::string& PcbName, const Summary& S) {
    Frame F = FrameFor(S.Bounds);
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
    Put("), in layout units with the Y axis pointing up; lines in their layer's "
        "colour, pads in a colour of their own. Width codes and pattern codes are symbols whose "
        "sizes only the design system knows: here a line of width code w is drawn 6 + 4w units "
        "wide and a pad of pattern code p as a dot 30 + 2p units across.</desc>\n<rect");
    PutAttr("x", F.X);
    PutAttr("y", F.Y);
    PutAttr("width", F.Width);
    PutAttr("height", F.Height);
    Put(" fill=\"#ffffff\"/>\n");
    PutCaption(F, PcbName, S);
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
        PutAttr("stroke-width", NominalWidth(R.Code));
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
    Put("<circle");
    PutAttr("cx", R.X1);
    PutAttr("cy", -std::int64_t{R.Y1});
    PutAttr("r", NominalRadius(R.Code));
    Put("/>\n");
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
