#include <string>

#include "Dize274/Dize274.h"
#include "FileIO/FileIO.h"
#include "Parser/Parser.h"
#include "Sheet/Sheet.h"
#include "TestSupport.h"

namespace {

using Sheet::PadShape;
using Sheet::Status;

using SheetReader = TempDirTest;

// The sheet as its writer spells it, listed codes only.
std::string Lines(const Sheet::CodeSheet& S) {
    std::string Out;
    for (int c = 0; c < Sheet::kWidthCodes; ++c) {
        if (S.Width[c] != 0) {
            Out += Sheet::WidthLine(c, S.Width[c]) + ";";
        }
    }
    for (int c = 0; c < Sheet::kPatternCodes; ++c) {
        if (S.Pads[c].Listed) {
            Out += Sheet::PadLine(c, S.Pads[c]) + ";";
        }
    }
    return Out;
}

TEST_F(SheetReader, ReadsEntriesAndNamesTheFirstErrorsLine) {
    struct Row {
        std::string Text;
        std::int32_t Line;   // 0: read without error
        std::string Result;  // the sheet's lines, or the message
    };
    const Row Rows[] = {
        {"", 0, ""},
        {"{ a comment\n over lines }\twidth 15 100000\r\npad 63 oblong 60 40 pad 0 octagon 1\n"
         "pad 7 rect 1 100000 pad 8 round +25",
         0,
         "width 15 100000;pad 0 octagon 1;pad 7 rect 1 100000;pad 8 round 25;pad 63 oblong 60 40;"},
        {"width 3 12\nwidth 3 14", 2, "Width code 3 given twice."},
        {"pad 1 round 10\r\n\r\npad 1 rect 3 4", 3, "Pattern code 1 given twice."},
        {"width 16 5", 1, "Range exceeded (0 to 15 allowed)."},
        {"width -1 5", 1, "Range exceeded (0 to 15 allowed)."},
        {"pad 64 round 5", 1, "Range exceeded (0 to 63 allowed)."},
        {"width 0 0", 1, "Range exceeded (1 to 100000 allowed)."},
        {"pad 0 rect 100001 5", 1, "Range exceeded (1 to 100000 allowed)."},
        {"pad 0 octagon 99999999999999999999", 1, "Range exceeded (1 to 100000 allowed)."},
        {"{ x }\n\nwidht 1 2", 3, "Unknown word (widht): width or pad expected."},
        {"pad 2 hexagon 5", 1,
         "Unknown pad shape (hexagon): round, rect, oblong or octagon expected."},
        {"pad 2\n", 1, "Missing pad shape (round, rect, oblong or octagon)."},
        {"pad 2 rect 5\npad 3 round 4", 2, "Missing pad height."},
        {"width 1\n{ no size }", 2, "Missing line width."},
        {"pad", 1, "Missing pattern code."},
        {"width 1 %5%", 1, "Integer number expected."},
        {"width 1 12.5", 1, "Word width or pad expected."},
        {"12 width", 1, "Word width or pad expected."},
        {"pad 1 round 5 { unclosed\nwidth 1 1", 0, "pad 1 round 5;"},
        {std::string(40, 'w'), 1,
         "Unknown word (" + std::string(32, 'w') + "...): width or pad expected."},
    };
    for (const Row& r : Rows) {
        WriteBytes("a.sheet", r.Text);
        Sheet::CodeSheet S;
        std::int32_t Line = -1;
        std::string Message;
        Status s = Sheet::ReadSheet("a.sheet", S, Line, Message);
        EXPECT_EQ(s, r.Line == 0 ? Status::kOk : Status::kBadSheet) << r.Text;
        EXPECT_EQ(Line, r.Line) << r.Text;
        EXPECT_EQ(r.Line == 0 ? Lines(S) : Message, r.Result) << r.Text;
    }
}

TEST_F(SheetReader, AFailedOpenIsLeftLatchedForTheProgram) {
    Parser::SetIOCheck(nullptr);
    Sheet::CodeSheet S;
    std::int32_t Line = 0;
    std::string Message;
    EXPECT_EQ(Sheet::ReadSheet("nope.sheet", S, Line, Message), Status::kIOFailed);
    EXPECT_EQ(FileIO::IOErrorMessage("nope.sheet"), "File nope.sheet not found");
    Parser::SetIOCheck(Dize274::CheckIO);
}

TEST(TypicalSheet, ListsEveryCodeWithWidthsFrom4To200AndEachShape) {
    Sheet::CodeSheet S;
    std::int32_t Line = 0;
    std::string Message;
    ASSERT_EQ(Sheet::ReadTypicalSheet(S, Line, Message), Status::kOk)
        << "line " << Line << ": " << Message;
    for (int c = 0; c < Sheet::kWidthCodes; ++c) {
        EXPECT_GT(S.Width[c], 0) << c;
    }
    EXPECT_EQ(S.Width[0], 4);
    EXPECT_EQ(S.Width[Sheet::kWidthCodes - 1], 200);
    int Shapes[4] = {};
    for (const Sheet::Pad& P : S.Pads) {
        EXPECT_TRUE(P.Listed);
        ++Shapes[static_cast<int>(P.Shape)];
    }
    for (int n : Shapes) {
        EXPECT_GT(n, 0);
    }
}

TEST(NearestCode, SmallestOffLowerCodeOnTiesShapeFirst) {
    Sheet::CodeSheet S;
    EXPECT_EQ(Sheet::NearestWidth(S, 10), -1);
    EXPECT_EQ(Sheet::NearestPad(S, PadShape::kRound, 10, 10), -1);
    S.Width[0] = 10;
    S.Width[2] = 20;
    S.Pads[0] = {true, PadShape::kRect, 60, 40};
    S.Pads[1] = {true, PadShape::kRect, 40, 60};
    S.Pads[2] = {true, PadShape::kRound, 50, 50};
    S.Pads[5] = {true, PadShape::kRound, 70, 70};
    struct Row {
        PadShape Shape;  // kOctagon with X 0: a width row, X the stroke
        double X;
        double Y;
        int Code;
    };
    const Row Rows[] = {
        {PadShape::kOctagon, 0, 15, 0},  {PadShape::kOctagon, 0, 15.01, 2},
        {PadShape::kOctagon, 0, 1e9, 2}, {PadShape::kOctagon, 0, -3, 0},
        {PadShape::kRect, 58, 42, 0},    {PadShape::kRect, 45, 55, 1},
        {PadShape::kRound, 60, 60, 2},   {PadShape::kRound, 60.5, 60.5, 5},
        {PadShape::kRound, 60, 40, 2},   {PadShape::kOblong, 60, 40, 0},
        {PadShape::kOctagon, 65, 65, 5},
    };
    for (const Row& r : Rows) {
        int Got = r.X == 0 ? Sheet::NearestWidth(S, r.Y) : Sheet::NearestPad(S, r.Shape, r.X, r.Y);
        EXPECT_EQ(Got, r.Code) << r.X << " " << r.Y;
    }
}

}  // namespace
