#include <unistd.h>

#include <set>
#include <string>

#include "FileIO/FileIO.h"
#include "Svg/Svg.h"
#include "TestSupport.h"

namespace {

using Svg::Box;
using Svg::Frame;
using Svg::Kind;
using Svg::Record;

Record Line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::uint8_t w,
            std::uint8_t l) {
    return {Kind::kLine, x1, y1, x2, y2, w, l};
}

Record Pad(std::int32_t x, std::int32_t y, std::uint8_t p) {
    return {Kind::kPad, x, y, 0, 0, p, 0};
}

std::size_t Count(const std::string& s, const std::string& Part) {
    std::size_t n = 0;
    for (std::size_t at = s.find(Part); at != std::string::npos; at = s.find(Part, at + 1)) {
        ++n;
    }
    return n;
}

TEST(SvgDrawing, NominalSizesGrowWithTheCode) {
    EXPECT_EQ(Svg::NominalWidth(0), 6);
    EXPECT_EQ(Svg::NominalWidth(1), 10);
    EXPECT_EQ(Svg::NominalWidth(15), 66);
    EXPECT_EQ(Svg::NominalRadius(0), 15);
    EXPECT_EQ(Svg::NominalRadius(63), 78);
    for (std::uint8_t c = 1; c < 64; ++c) {
        EXPECT_GT(Svg::NominalRadius(c), Svg::NominalRadius(c - 1));
        if (c < 16) {
            EXPECT_GT(Svg::NominalWidth(c), Svg::NominalWidth(c - 1));
            EXPECT_EQ(Svg::NominalWidth(c) % 2, 0);  // its half is whole
        }
    }
}

TEST(SvgDrawing, EveryLayerHasAColourOfItsOwnAndThePadsAnother) {
    std::set<std::string_view> Seen;
    for (std::uint8_t l = 0; l < 16; ++l) {
        EXPECT_EQ(Svg::LayerColour(l).size(), 7u);
        Seen.insert(Svg::LayerColour(l));
    }
    Seen.insert(Svg::PadColour());
    EXPECT_EQ(Seen.size(), 17u);
}

TEST(SvgDrawing, TallyBoundsStrokesAndDotsWhole) {
    Svg::Summary S;
    EXPECT_TRUE(S.Bounds.Empty);
    // Width code 1: 10 wide, round ends reach 5 past each end point.
    Svg::Tally(S, Line(0, 0, 100, -20, 1, 3));
    EXPECT_EQ(S.Bounds, (Box{false, -5, -25, 105, 5}));
    // Pattern code 10: radius 25.
    Svg::Tally(S, Pad(200, 200, 10));
    EXPECT_EQ(S.Bounds, (Box{false, -5, -25, 225, 225}));
    Svg::Tally(S, Line(-2147483648, 0, 2147483647, 0, 15, 12));
    EXPECT_EQ(S.Bounds, (Box{false, -2147483648LL - 33, -33, 2147483647LL + 33, 225}));
    EXPECT_EQ(S.Lines, 2u);
    EXPECT_EQ(S.Pads, 1u);
    EXPECT_EQ(S.Layers, (1u << 3) | (1u << 12));
}

TEST(SvgDrawing, FrameHoldsTheBoxWithAMarginTheCaptionAcrossAndKeepsItsProportions) {
    for (std::size_t Letters : {std::size_t{90}, std::size_t{400}}) {
        for (const Box& B : {Box{}, Box{false, 0, 0, 0, 0}, Box{false, 5, 5, 6, 6},
                             Box{false, 0, 0, 100, 10000}, Box{false, -10000, 7, 0, 107},
                             Box{false, -2147483648LL - 33, -2147483648LL - 33, 2147483647LL + 33,
                                 2147483647LL + 33}}) {
            Frame F = Svg::FrameFor(B, Letters);
            std::int64_t Margin = F.X < B.MinX ? B.MinX - F.X : 0;
            EXPECT_GE(Margin, 50) << B.MinX;
            EXPECT_EQ(F.X + F.Width - B.MaxX, Margin) << B.MinX;  // as much on the right
            EXPECT_EQ(F.Y, -B.MaxY - Margin) << B.MinX;
            // Below the board, its margin, then the caption's lines within the
            // frame, the longest at 0.6 of a letter's size a character.
            double Scale = F.TextScale == 0 ? 1 : F.TextScale;
            double Size = static_cast<double>(F.FontSize) * Scale;
            EXPECT_TRUE(F.TextScale == 0 || F.FontSize == Svg::kTextSize);
            EXPECT_TRUE(F.TextScale != 0 || (F.FontSize >= 2 && F.FontSize <= Svg::kMaxFontSize));
            std::int64_t BoardBottom = -B.MinY + Margin;
            EXPECT_GE(static_cast<double>(F.CaptionTop) - Size, static_cast<double>(BoardBottom))
                << B.MinX;
            EXPECT_LE(static_cast<double>(F.CaptionTop) +
                          (Svg::kCaptionLines - 1) * static_cast<double>(F.LinePitch) * Scale,
                      static_cast<double>(F.Y + F.Height));
            EXPECT_LE(static_cast<double>(F.CaptionLeft - F.X) +
                          0.6 * Size * static_cast<double>(Letters),
                      static_cast<double>(F.Width))
                << B.MinX;
            EXPECT_EQ(std::max(F.PixelWidth, F.PixelHeight), 1000) << B.MinX;
            // Rounded to the pixel: the proportions within half a pixel.
            double Ratio = static_cast<double>(F.Width) / static_cast<double>(F.Height);
            double Side = F.PixelWidth >= F.PixelHeight ? 1000.0 / Ratio : 1000.0 * Ratio;
            EXPECT_NEAR(static_cast<double>(std::min(F.PixelWidth, F.PixelHeight)), Side, 0.5);
        }
    }
}

// Expected text with each "~" standing for U+FFFD.
std::string Replaced(std::string_view Text) {
    std::string Out;
    for (char c : Text) {
        Out += c == '~' ? std::string_view("\xEF\xBF\xBD") : std::string_view(&c, 1);
    }
    return Out;
}

TEST(SvgDrawing, XmlTextEscapesMarkupAndReplacesWhatIsNoXmlCharacter) {
    struct Row {
        std::string In;
        std::string Out;
    };
    for (const Row& r : {
             Row{"board.PCB", "board.PCB"},
             Row{"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e'f"},
             Row{"tab\tnl\ncr\r", "tab~nl~cr~"},
             Row{std::string("nul\0end", 7), "nul~end"},
             Row{"\x7F", "\x7F"},
             // well-formed UTF-8 of 2, 3 and 4 bytes, up to U+10FFFF
             Row{"Platine_\xC3\xA4\xE2\x82\xAC\xF0\x9F\x94\x8C\xF4\x8F\xBF\xBF",
                 "Platine_\xC3\xA4\xE2\x82\xAC\xF0\x9F\x94\x8C\xF4\x8F\xBF\xBF"},
             // Latin-1, overlong forms, surrogates, beyond U+10FFFF, cut short
             Row{"\xE4x", "~x"},
             Row{"\xC0\xAF", "~~"},
             Row{"\xE0\x80\xAF", "~~~"},
             Row{"\xF0\x80\x80\x80", "~~~~"},
             Row{"\xED\xA0\x80", "~~~"},
             Row{"\xF4\x90\x80\x80", "~~~~"},
             Row{"\xF5\xFF", "~~"},
             Row{"\xE2\x82", "~~"},
             Row{"\xC3", "~"},
             // U+FFFE and U+FFFF are no characters of XML; U+FFFD is one
             Row{"\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD", "~~~~~~~"},
         }) {
        EXPECT_EQ(Svg::XmlText(r.In), Replaced(r.Out)) << r.In;
    }
}

class SvgWriter : public TempDirTest {
   protected:
    void SetUp() override {
        TempDirTest::SetUp();
        FileIO::ClearIOError();
        WriteBytes("in.PCB", "the input");
    }
    void TearDown() override {
        Svg::AbandonSvg();
        FileIO::ClearIOError();
        TempDirTest::TearDown();
    }
};

TEST_F(SvgWriter, GroupsByLayerAndKindPathsByWidthStrokesByConnection) {
    Svg::Summary S;
    ASSERT_TRUE(Svg::OpenSvg("out.svg", "in.PCB", S));
    // 1200 connected lines of one width on one layer: one group, three paths
    // of at most 500 segments, one stroke each.
    for (std::int32_t i = 0; i < 1200; ++i) {
        ASSERT_TRUE(Svg::DrawRecord(Line(i, 0, i + 1, 0, 2, 7)));
    }
    EXPECT_FALSE(FileIO::IOError());
    ASSERT_TRUE(Svg::CloseSvg());
    std::string Svg = ReadBytes("out.svg");
    std::string Body = Svg.substr(Svg.find("<g fill=\"none\""));
    EXPECT_EQ(Count(Body, "<g "), 1u);
    EXPECT_EQ(Count(Body, "<path stroke-width=\"14\" d=\"M"), 3u);
    EXPECT_EQ(Count(Body, "M"), 3u);
    EXPECT_EQ(Count(Body, "L"), 1200u);
    EXPECT_NE(Body.find("d=\"M500 0L501 0"), std::string::npos);
    EXPECT_NE(Body.find("d=\"M1000 0L1001 0"), std::string::npos);
    EXPECT_EQ(Svg.substr(Svg.size() - 16), "\"/>\n</g>\n</svg>\n");
}

TEST_F(SvgWriter, ANewWidthLayerOrKindStartsItsOwnPathOrGroup) {
    Svg::Summary S;
    ASSERT_TRUE(Svg::OpenSvg("out.svg", "in.PCB", S));
    for (const Record& R : {Line(0, 0, 10, 10, 1, 4), Line(10, 10, 20, 10, 1, 4),  // a stroke
                            Line(30, 30, 40, 40, 1, 4),                            // a move
                            Line(40, 40, 50, 40, 3, 4),                            // a width
                            Line(50, 40, 60, 40, 3, 5),                            // a layer
                            Pad(60, 40, 2), Pad(0, -7, 0),                         // pads
                            Line(60, 40, 70, 40, 3, 5)}) {
        ASSERT_TRUE(Svg::DrawRecord(R));
    }
    ASSERT_TRUE(Svg::CloseSvg());
    std::string Svg = ReadBytes("out.svg");
    std::string Body = Svg.substr(Svg.find("<g fill=\"none\""));
    std::string Layer4(Svg::LayerColour(4));
    std::string Layer5(Svg::LayerColour(5));
    std::string Pads(Svg::PadColour());
    EXPECT_EQ(Body, "<g fill=\"none\" stroke=\"" + Layer4 +
                        "\">\n"
                        "<path stroke-width=\"10\" d=\"M0 0L10 -10L20 -10\nM30 -30L40 -40\"/>\n"
                        "<path stroke-width=\"18\" d=\"M40 -40L50 -40\"/>\n</g>\n"
                        "<g fill=\"none\" stroke=\"" +
                        Layer5 + "\">\n<path stroke-width=\"18\" d=\"M50 -40L60 -40\"/>\n</g>\n" +
                        "<g fill=\"" + Pads +
                        "\">\n<circle cx=\"60\" cy=\"-40\" r=\"17\"/>\n"
                        "<circle cx=\"0\" cy=\"7\" r=\"15\"/>\n</g>\n"
                        "<g fill=\"none\" stroke=\"" +
                        Layer5 + "\">\n<path stroke-width=\"18\" d=\"M60 -40L70 -40\"/>\n</g>\n" +
                        "</svg>\n");
}

TEST_F(SvgWriter, NamesInTheHeadAreXmlAndTheFrameIsTheSummarys) {
    Svg::Summary S;
    Svg::Tally(S, Pad(0, 0, 10));
    ASSERT_TRUE(Svg::OpenSvg("out.svg", "in.PCB", S));
    ASSERT_TRUE(Svg::CloseSvg());
    std::string Svg = ReadBytes("out.svg");
    // The pad's box -25..25, the least margin 50: 150 across, 2 high letters.
    EXPECT_NE(Svg.find("width=\"943\" height=\"1000\" viewBox=\"-75 -75 150 159\""),
              std::string::npos);
    EXPECT_NE(Svg.find("<title>in.PCB</title>"), std::string::npos);
    EXPECT_NE(Svg.find("in.PCB: lines: 0, <tspan"), std::string::npos);

    WriteBytes("a&b<c>.PCB", "the input");
    ASSERT_TRUE(Svg::OpenSvg("out.svg", "a&b<c>.PCB", S));
    ASSERT_TRUE(Svg::CloseSvg());
    Svg = ReadBytes("out.svg");
    EXPECT_NE(Svg.find("<title>a&amp;b&lt;c&gt;.PCB</title>"), std::string::npos);
    EXPECT_EQ(Svg.find("a&b"), std::string::npos);
}

TEST_F(SvgWriter, NeverWritesOverThePcbFileNorLeavesAPartialPicture) {
    Svg::Summary S;
    ASSERT_EQ(::link("in.PCB", "linked.svg"), 0);
    EXPECT_FALSE(Svg::OpenSvg("linked.svg", "in.PCB", S));
    EXPECT_TRUE(FileIO::IOError());
    EXPECT_EQ(FileIO::IOErrorMessage("linked.svg"), "I/O error (Error code 32)");
    EXPECT_EQ(ReadBytes("in.PCB"), "the input");

    // A picture that does not fit the device fails at the record whose
    // piece went out, or at the close; either way no file is put in place.
    ASSERT_EQ(::symlink("/dev/full", "full.svg"), 0);
    ASSERT_TRUE(Svg::OpenSvg("full.svg", "in.PCB", S));
    bool Drawn = true;
    for (std::int32_t i = 0; i < 20000 && Drawn; ++i) {
        Drawn = Svg::DrawRecord(Pad(i, i, 1));
    }
    EXPECT_FALSE(Drawn);
    EXPECT_EQ(FileIO::IOErrorMessage("full.svg"), "I/O error (Error code 112)");
    Svg::AbandonSvg();

    ASSERT_TRUE(Svg::OpenSvg("full.svg", "in.PCB", S));
    EXPECT_FALSE(Svg::CloseSvg());
    EXPECT_EQ(FileIO::IOErrorMessage("full.svg"), "I/O error (Error code 112)");
    Svg::AbandonSvg();

    ASSERT_TRUE(Svg::OpenSvg("new.svg", "in.PCB", S));
    ASSERT_TRUE(Svg::DrawRecord(Pad(0, 0, 0)));
    Svg::AbandonSvg();
    EXPECT_NE(::access("new.svg", F_OK), 0);
}

}  // namespace
