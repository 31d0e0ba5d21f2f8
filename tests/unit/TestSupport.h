// Shared helpers for the unit tests: a fresh working directory per test, file
// bytes in and out, and checks of what reaches the console.
#ifndef LUMARIND_TESTS_TESTSUPPORT_H
#define LUMARIND_TESTS_TESTSUPPORT_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

/// Each test runs in its own empty directory, removed afterwards.
class TempDirTest : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;

   private:
    std::string Old;
    std::string Dir;
};

void WriteBytes(const std::string& Name, const std::string& Bytes);
std::string ReadBytes(const std::string& Name);

/// Everything Body writes to file descriptor 1. Needs a writable cwd.
std::string CaptureStdout(const std::function<void()>& Body);

/// Runs Statement in a child whose stdout goes where the death-test matcher
/// looks, and expects exit code 1 with exactly Console on the console. The
/// parent flushes first, or the child could repeat gtest's buffered lines.
/// Takes a streamed message like any EXPECT.
#define EXPECT_FATAL(Statement, Console)          \
    switch (0)                                    \
    case 0:                                       \
    default:                                      \
        if (((void)std::fflush(stdout), false)) { \
        } else                                    \
            EXPECT_EXIT(                          \
                {                                 \
                    ::dup2(2, 1);                 \
                    Statement;                    \
                },                                \
                ::testing::ExitedWithCode(1), ::testing::StrEq(Console))

#endif  // LUMARIND_TESTS_TESTSUPPORT_H
