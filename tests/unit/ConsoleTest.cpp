#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "Dize274/Console.h"
#include "Dize274/Dize274.h"
#include "FileIO/FileIOInternal.h"
#include "Parser/Parser.h"
#include "TestSupport.h"

namespace {

using Dize274::IntToText;

TEST(IntToText, PlainDecimalAtTheExtremes) {
    struct Row {
        std::int64_t N;
        const char* Text;
    };
    for (const Row& r : {
             Row{0, "0"},
             Row{-1, "-1"},
             Row{7, "7"},
             Row{1000000, "1000000"},
             Row{std::numeric_limits<std::int32_t>::min(), "-2147483648"},
             Row{std::numeric_limits<std::int32_t>::max(), "2147483647"},
             Row{std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
             Row{std::numeric_limits<std::int64_t>::max(), "9223372036854775807"},
         }) {
        EXPECT_EQ(IntToText(r.N), r.Text);
    }
}

class Console : public TempDirTest {
   protected:
    void SetUp() override {
        TempDirTest::SetUp();
        FileIO::ClearIOError();
        WriteBytes("in.gbr", "A\r\nB\r\n");
        Parser::OpenInput("in.gbr");  // line number 0: nothing read yet
    }
    void TearDown() override {
        FileIO::ClearIOError();
        TempDirTest::TearDown();
    }
};

TEST_F(Console, WarningCarriesTheCurrentLineAndLetsTheRunGoOn) {
    EXPECT_EQ(CaptureStdout([] { Dize274::Warning("x"); }), "Line 0 - WARNING: x\r\n");
    EXPECT_EQ(Parser::GetChar(), 'A');
    EXPECT_EQ(Parser::GetChar(), 'B');
    EXPECT_EQ(CaptureStdout([] { Dize274::Warning("Unknown D code (5)."); }),
              "Line 2 - WARNING: Unknown D code (5).\r\n");
}

TEST_F(Console, ErrorPrefixesTheLineThenHalts) {
    EXPECT_FATAL(Dize274::Error("Integer number expected."),
                 "Line 0 - ERROR: Integer number expected.\r\nFatal error - program halted.\r\n");
    (void)Parser::GetChar();
    (void)Parser::GetChar();
    EXPECT_FATAL(Dize274::Error("Unexpected character (*)."),
                 "Line 2 - ERROR: Unexpected character (*).\r\nFatal error - program halted.\r\n");
}

TEST_F(Console, FatalWritesNoLinePrefix) {
    EXPECT_FATAL(Dize274::Fatal("File board.gbr not found"),
                 "File board.gbr not found\r\nFatal error - program halted.\r\n");
    EXPECT_FATAL(Dize274::Fatal(""), "\r\nFatal error - program halted.\r\n");
}

TEST_F(Console, CheckIOIsSilentAfterSuccess) {
    FileIO::SetIOResult(0);
    EXPECT_EQ(CaptureStdout([] { Dize274::CheckIO("board.gbr"); }), "");
    EXPECT_FALSE(FileIO::IOError());
}

TEST_F(Console, CheckIOReportsTheLatchedErrorWithoutLineNumber) {
    (void)Parser::GetChar();
    FileIO::SetIOResult(2);
    EXPECT_FATAL(Dize274::CheckIO("board.gbr"),
                 "File board.gbr not found\r\nFatal error - program halted.\r\n");
    FileIO::SetIOResult(65535);
    EXPECT_FATAL(Dize274::CheckIO("board.PCB"),
                 "I/O error (Error code 65535)\r\nFatal error - program halted.\r\n");
}

// Before the PCB file is put in place, a console that will take no more ends
// the run (exit code 1); one that can go on does not, however it is made.
TEST(CheckConsole, EndsTheRunOnlyForAConsoleThatTakesNoMore) {
    struct Row {
        const char* What;
        void (*MakeConsole)();
        int Code;
    };
    static int Pipe[2];
    for (const Row& r : {
             Row{"a pipe with its reader",
                 [] {
                     ASSERT_EQ(::pipe(Pipe), 0);
                     ::dup2(Pipe[1], 1);
                 },
                 0},
             Row{"a pipe whose reader has gone",
                 [] {
                     ASSERT_EQ(::pipe(Pipe), 0);
                     ::dup2(Pipe[1], 1);
                     ::close(Pipe[0]);
                 },
                 1},
             Row{"a closed descriptor", [] { ::close(1); }, 1},
             Row{"/dev/null", [] { ::dup2(::open("/dev/null", O_WRONLY), 1); }, 0},
             Row{"a file", [] { ::dup2(::open("/tmp", O_TMPFILE | O_WRONLY, 0600), 1); }, 0},
         }) {
        std::fflush(stdout);
        EXPECT_EXIT(
            {
                r.MakeConsole();
                Dize274::CheckConsole();
                std::_Exit(0);
            },
            ::testing::ExitedWithCode(r.Code), "")
            << r.What;
    }
}

}  // namespace
