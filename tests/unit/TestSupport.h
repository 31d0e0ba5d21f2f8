// Shared helpers for the unit tests: a fresh working directory per test, file
// bytes in and out, and a check of the console text of a fatal end.
#ifndef LUMARIND_TESTS_TESTSUPPORT_H
#define LUMARIND_TESTS_TESTSUPPORT_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

/// Runs Statement in a child whose stdout goes where the death-test matcher
/// looks, and expects exit code 1 with exactly Console on the console.
#define EXPECT_FATAL(Statement, Console) \
    EXPECT_EXIT(                         \
        {                                \
            ::dup2(2, 1);                \
            Statement;                   \
        },                               \
        ::testing::ExitedWithCode(1), ::testing::HasSubstr(Console))

#endif  // LUMARIND_TESTS_TESTSUPPORT_H
