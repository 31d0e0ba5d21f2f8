#include <sys/stat.h>

#include <string>

#include "FileIO/FileIO.h"
#include "Svg/Svg.h"
#include "TestSupport.h"

namespace {

using Svg::ReadStatus;

class SvgReader : public TempDirTest {
   protected:
    void SetUp() override {
        TempDirTest::SetUp();
        FileIO::ClearIOError();
    }
    void TearDown() override {
        FileIO::ClearIOError();
        TempDirTest::TearDown();
    }
};

std::string RecordText(const Svg::Record& R) {
    auto n = [](std::int64_t v) { return std::to_string(v); };
    if (R.What == Svg::Kind::kPad) {
        return "P " + n(R.X1) + " " + n(R.Y1) + " " + n(R.Code) + ";";
    }
    return "L " + n(R.X1) + " " + n(R.Y1) + " " + n(R.X2) + " " + n(R.Y2) + " " + n(R.Code) + " " +
           n(R.Layer) + ";";
}

// The records of the open file as "L x1 y1 x2 y2 w l;" and "P x y p;", then
// "end" or the message of the fault that stopped the reading.
std::string ReadRest() {
    std::string Out;
    Svg::Record R;
    ReadStatus s = ReadStatus::kOk;
    while ((s = Svg::NextRecord(R)) == ReadStatus::kOk) {
        Out += RecordText(R);
    }
    switch (s) {
        case ReadStatus::kEnd:
            return Out + "end";
        case ReadStatus::kBadFile:
            return Out + Svg::LayoutError();
        default:
            return Out + "I/O: " + FileIO::IOErrorMessage("t.PCB");
    }
}

std::string ReadAll(const std::string& Bytes) {
    WriteBytes("t.PCB", Bytes);
    if (Svg::OpenLayout("t.PCB") != ReadStatus::kOk) {
        return "not opened";
    }
    std::string Out = ReadRest();
    EXPECT_EQ(Svg::CloseLayout(), ReadStatus::kOk);
    return Out;
}

const std::string kHead =
    "{ Converted from a Gerber file by Lumarind ver. 4.0 }\r\n\r\nLayout (\r\n";

TEST_F(SvgReader, ReadsWhatLumarindWritesAndWhatAnEditorLeaves) {
    struct Row {
        std::string Bytes;
        std::string Read;
    };
    for (const Row& r : {
             Row{kHead + "  Lines (\r\n    (0 0 500 0 0 10)\r\n  )\r\n  Pads (\r\n    (500 0 0)\r\n"
                         "  )\r\n)\r\n",
                 "L 0 0 500 0 0 10;P 500 0 0;end"},
             // nothing drawn
             Row{kHead + ")\r\n", "end"},
             // LF line ends, no comment, sections in turn, an empty one
             Row{"Layout (\n Lines (\n (1 2 3 4 5 6)\n )\n Pads (\n )\n Pads (\n (7 8 9)\n )\n"
                 " Lines (\n (-1 -2 -3 -4 0 0)\n )\n)\n",
                 "L 1 2 3 4 5 6;P 7 8 9;L -1 -2 -3 -4 0 0;end"},
             // blanks, tabs and comments wherever a blank may stand, records on one line
             Row{"{a}Layout{b}({c}Lines\t(\t(1\t2  3 {d} 4 5 6)(7 8 9 10 11 12))\r\n)\r\n{ e "
                 "}\r\n\r\n",
                 "L 1 2 3 4 5 6;L 7 8 9 10 11 12;end"},
             // a comment across lines, and nothing at all after the last ")"
             Row{"{ one\r\ntwo }Layout ( Pads ( (1 1 1) ) )", "P 1 1 1;end"},
             // the extremes of every field, leading zeros, minus zero
             Row{"Layout ( Lines ( (-2147483648 2147483647 -0 007 15 15) (0 0 0 0 0 0) )"
                 " Pads ( (2147483647 -2147483648 63) (0 0 0) ) )",
                 "L -2147483648 2147483647 0 7 15 15;L 0 0 0 0 0 0;P 2147483647 -2147483648 "
                 "63;P 0 0 0;end"},
         }) {
        EXPECT_EQ(ReadAll(r.Bytes), r.Read) << r.Bytes;
    }
}

TEST_F(SvgReader, RefusesWhatIsNoPcbFileNamingTheLine) {
    struct Row {
        std::string Bytes;
        std::string Read;
    };
    const std::string Lines = "Layout (\r\n  Lines (\r\n";  // a record then stands on line 3
    const std::string Pads = "Layout (\r\n  Pads (\r\n";
    for (const Row& r : {
             Row{"", "t.PCB:1: not a PCB file: \"Layout (\" expected, found the end of the file"},
             Row{"G90*\r\nG71*\r\n",
                 "t.PCB:1: not a PCB file: \"Layout (\" expected, found \"G90*\""},
             Row{"\r\n\r\nlayout (",
                 "t.PCB:3: not a PCB file: \"Layout (\" expected, found \"layout\""},
             Row{"Layout\r\n  Lines (",
                 "t.PCB:2: not a PCB file: \"(\" after \"Layout\" expected, found \"Lines\""},
             Row{"Layout (\r\n  (0 0 0)",
                 "t.PCB:2: \"Lines (\", \"Pads (\" or the layout's \")\" expected, found \"(\""},
             Row{"Layout (\r\n  Lines\r\n",
                 "t.PCB:2: \"(\" after \"Lines\" expected, found the end of the file"},
             Row{Lines + "    0 0 1 1 0 10)",
                 "t.PCB:3: a line record or \")\" expected, found \"0\""},
             Row{Pads + "    1 1 1", "t.PCB:3: a pad record or \")\" expected, found \"1\""},
             Row{Lines + "    (0 0 1 1 0)",
                 "t.PCB:3: a number of a line record (x1 y1 x2 y2 width layer) expected, found "
                 "\")\""},
             Row{Lines + "    (0 0 1 1 0 10 7)",
                 "t.PCB:3: \")\" after the 6 numbers of a line record (x1 y1 x2 y2 width layer) "
                 "expected, found \"7\""},
             Row{Pads + "    (1 1 1 1)",
                 "t.PCB:3: \")\" after the 3 numbers of a pad record (x y pattern) expected, found "
                 "\"1\""},
             Row{Pads + "    (1 1.5 1)",
                 "t.PCB:3: a number of a pad record (x y pattern) expected, found \"1.5\""},
             Row{Pads + "    (+1 1 1)",
                 "t.PCB:3: a number of a pad record (x y pattern) expected, found \"+1\""},
             Row{Pads + "    (- 1 1)",
                 "t.PCB:3: a number of a pad record (x y pattern) expected, found \"-\""},
             Row{Pads + "    (1-2 1 1)",
                 "t.PCB:3: a number of a pad record (x y pattern) expected, found \"1-2\""},
             Row{Pads + "    (12abc 1 1)",
                 "t.PCB:3: a number of a pad record (x y pattern) expected, found \"12abc\""},
             Row{Lines + "    (0 0 1 1 16 10)", "t.PCB:3: width code 16 out of range (0 to 15)"},
             Row{Lines + "    (0 0 1 1 -1 10)", "t.PCB:3: width code -1 out of range (0 to 15)"},
             Row{Lines + "    (0 0 1 1 0 16)", "t.PCB:3: layer 16 out of range (0 to 15)"},
             Row{Pads + "    (0 0 64)", "t.PCB:3: pattern code 64 out of range (0 to 63)"},
             Row{Pads + "    (2147483648 0 1)",
                 "t.PCB:3: coordinate 2147483648 out of range (-2147483648 to 2147483647)"},
             Row{Pads + "    (0 -2147483649 1)",
                 "t.PCB:3: coordinate -2147483649 out of range (-2147483648 to 2147483647)"},
             // far beyond 64 bits: the value saturates, the text shows what was there
             Row{Pads + "    (0 0 " + std::string(30, '9') + ")",
                 "t.PCB:3: pattern code " + std::string(30, '9') + " out of range (0 to 63)"},
             Row{Lines + "    (0 0 1 1 0 10)\r\n",
                 "L 0 0 1 1 0 10;t.PCB:3: a line record or \")\" expected, found the end of the "
                 "file"},
             Row{"Layout ( )\r\n)\r\n", "t.PCB:2: text after the end of the layout: \")\""},
             Row{"Layout ( )\r\n{ fine }\r\n\r\nLayout (\r\n",
                 "t.PCB:4: text after the end of the layout: \"Layout\""},
             Row{"Layout (\r\n{ open\r\n\r\n", "t.PCB:2: comment not closed: \"{\" without \"}\""},
             Row{"Layout ( } )",
                 "t.PCB:1: \"Lines (\", \"Pads (\" or the layout's \")\" expected, "
                 "found \"}\""},
             // a long text is cut for the message; other bytes than ASCII show as codes
             Row{std::string(100, 'x'), "t.PCB:1: not a PCB file: \"Layout (\" expected, found \"" +
                                            std::string(40, 'x') + "...\""},
             Row{std::string("Layout (\r\n\0\x1b\xc3\xa9", 14),
                 "t.PCB:2: \"Lines (\", \"Pads (\" or the layout's \")\" expected, found "
                 "\"\\x00\\x1B\\xC3\\xA9\""},
         }) {
        EXPECT_EQ(ReadAll(r.Bytes), r.Read) << r.Bytes;
    }
}

TEST_F(SvgReader, CountsLinesAsEditorsDo) {
    // A line ends at CR, at LF and at CR LF; LF CR is two line ends.
    struct Row {
        std::string Bytes;
        const char* Line;
    };
    for (const Row& r : {Row{"Layout (\r\r\r x", "4"}, Row{"Layout (\n\n\n x", "4"},
                         Row{"Layout (\r\n\r\n\r\n x", "4"}, Row{"Layout (\n\r x", "3"},
                         Row{"Layout (\r\n\n\r x", "4"},
                         // the file's end is reported on its last line, not on the
                         // nothing after its last line end
                         Row{"Layout (\r\n", "1"}, Row{"Layout (\r\n\r\n", "2"},
                         Row{"Layout (\n\n", "2"}, Row{"Layout (\r\n\r\n ", "3"}}) {
        std::string Read = ReadAll(r.Bytes);
        EXPECT_EQ(Read.substr(0, Read.find(": ")), std::string("t.PCB:") + r.Line) << r.Bytes;
    }
}

TEST_F(SvgReader, RecordsAcrossTheReadBufferComeWholeAndAgainAfterTheRewind) {
    // Records of every length from the start to far past 64 KiB put every
    // part of one at a piece's end.
    std::string Bytes = kHead + "  Lines (\r\n";
    std::string Want;
    for (int i = 0; i < 20000; ++i) {
        std::string Rec = std::to_string(i) + " " + std::to_string(-i * 7) + " " +
                          std::to_string(i * 1000) + " 0 " + std::to_string(i % 16) + " " +
                          std::to_string(15 - i % 16);
        Bytes += "    (" + Rec + ")\r\n";
        Want += "L " + Rec + ";";
    }
    Bytes += "  )\r\n)\r\n";
    ASSERT_GT(Bytes.size(), 5u * 65536u);
    WriteBytes("t.PCB", Bytes);
    ASSERT_EQ(Svg::OpenLayout("t.PCB"), ReadStatus::kOk);
    EXPECT_EQ(ReadRest(), Want + "end");
    ASSERT_EQ(Svg::RewindLayout(), ReadStatus::kOk);
    EXPECT_EQ(ReadRest(), Want + "end");
    EXPECT_EQ(Svg::CloseLayout(), ReadStatus::kOk);
}

TEST_F(SvgReader, AnErrorAfterTheRewindNamesItsLineAgain) {
    WriteBytes("t.PCB", "Layout (\r\n  Pads (\r\n    (1 1 1)\r\n    (1 1 99)\r\n");
    ASSERT_EQ(Svg::OpenLayout("t.PCB"), ReadStatus::kOk);
    const std::string Want = "P 1 1 1;t.PCB:4: pattern code 99 out of range (0 to 63)";
    EXPECT_EQ(ReadRest(), Want);
    ASSERT_EQ(Svg::RewindLayout(), ReadStatus::kOk);
    EXPECT_EQ(ReadRest(), Want);
    EXPECT_EQ(Svg::CloseLayout(), ReadStatus::kOk);
}

TEST_F(SvgReader, OpensOnlyARegularFileThatExists) {
    EXPECT_EQ(Svg::OpenLayout("missing.PCB"), ReadStatus::kIOFailed);
    EXPECT_TRUE(FileIO::IOError());
    EXPECT_EQ(FileIO::IOErrorMessage("missing.PCB"), "File missing.PCB not found");

    ASSERT_EQ(::mkdir("dir.PCB", 0755), 0);
    EXPECT_EQ(Svg::OpenLayout("dir.PCB"), ReadStatus::kIOFailed);
    EXPECT_TRUE(FileIO::IOError());
    EXPECT_EQ(FileIO::IOErrorMessage("dir.PCB"),
              "File access denied (Read-only, directory full ?)");

    // Read twice, so never a device or a pipe.
    EXPECT_EQ(Svg::OpenLayout("/dev/null"), ReadStatus::kBadFile);
    EXPECT_EQ(Svg::LayoutError(), "/dev/null: not a regular file (the PCB file is read twice)");
    EXPECT_FALSE(FileIO::IOError());
}

}  // namespace
