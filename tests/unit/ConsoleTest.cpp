#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "Dize274/Console.h"
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
