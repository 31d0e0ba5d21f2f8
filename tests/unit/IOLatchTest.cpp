#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "FileIO/FileIOInternal.h"
#include "TestSupport.h"

namespace {

using FileIO::Access;
using FileIO::ClearIOError;
using FileIO::CodeForErrno;
using FileIO::IOError;
using FileIO::IOErrorMessage;
using FileIO::IOErrorText;
using FileIO::SetIOResult;

class IOLatch : public TempDirTest {
   protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ClearIOError();
    }
    void TearDown() override {
        ClearIOError();
        TempDirTest::TearDown();
    }
};

TEST_F(IOLatch, FirstErrorWinsWhenEachFailureIsChecked) {
    SetIOResult(5);
    EXPECT_TRUE(IOError());
    SetIOResult(2);
    EXPECT_TRUE(IOError());
    EXPECT_EQ(IOErrorMessage("a.gbr"), "File access denied (Read-only, directory full ?)");
    // The second code was read and dropped, so nothing is left to report.
    EXPECT_FALSE(IOError());
}

TEST_F(IOLatch, UncheckedFailureIsReplacedByTheNextOne) {
    SetIOResult(5);
    SetIOResult(2);
    SetIOResult(0);  // a success between clears nothing
    EXPECT_TRUE(IOError());
    EXPECT_EQ(IOErrorMessage("a.gbr"), "File a.gbr not found");
    EXPECT_FALSE(IOError());
}

TEST_F(IOLatch, ClearDropsLatchedAndPendingCodes) {
    SetIOResult(4);
    EXPECT_TRUE(IOError());
    SetIOResult(5);
    ClearIOError();
    EXPECT_FALSE(IOError());
    EXPECT_EQ(IOErrorMessage("x"), "");
}

TEST(IOErrorText, EveryRowOfTheTable) {
    struct Row {
        std::uint16_t Code;
        const char* Text;
    };
    for (const Row& r :
         {Row{0, ""}, Row{2, "File board.gbr not found"}, Row{3, "Path not found"},
          Row{4, "Too many open files"}, Row{5, "File access denied (Read-only, directory full ?)"},
          Row{100, "I/O error (Error code 100)"}, Row{160, "Device write fault"},
          Row{161, "Device read fault"}, Row{1, "I/O error (Error code 1)"},
          Row{32, "I/O error (Error code 32)"}, Row{112, "I/O error (Error code 112)"},
          Row{162, "I/O error (Error code 162)"}, Row{65535, "I/O error (Error code 65535)"}}) {
        EXPECT_EQ(IOErrorText(r.Code, "board.gbr"), r.Text) << r.Code;
    }
}

TEST(IOErrorText, OnlyCodeTwoNamesTheFileEvenWhenTheNameIsEmpty) {
    EXPECT_EQ(IOErrorText(2, ""), "File  not found");
    EXPECT_EQ(IOErrorText(3, "board.gbr"), "Path not found");
    EXPECT_EQ(IOErrorText(2, "dir/a b.gbr"), "File dir/a b.gbr not found");
}

TEST_F(IOLatch, ErrnoMapsToTheCodesTheMessagesKnow) {
    std::filesystem::create_directory("sub");
    EXPECT_EQ(CodeForErrno(ENOENT, Access::kRead, "missing.gbr"), 2);
    EXPECT_EQ(CodeForErrno(ENOENT, Access::kRead, "sub/missing.gbr"), 2);
    EXPECT_EQ(CodeForErrno(ENOENT, Access::kRead, "nodir/missing.gbr"), 3);
    EXPECT_EQ(CodeForErrno(ENOENT, Access::kWrite, "sub/nodir/x.PCB"), 3);
    EXPECT_EQ(CodeForErrno(ENOTDIR, Access::kRead, "a/b"), 3);
    EXPECT_EQ(CodeForErrno(EMFILE, Access::kRead, "a"), 4);
    EXPECT_EQ(CodeForErrno(EACCES, Access::kRead, "a"), 5);
    EXPECT_EQ(CodeForErrno(EISDIR, Access::kWrite, "sub"), 5);
    EXPECT_EQ(CodeForErrno(EFBIG, Access::kWrite, "a"), 112);
    EXPECT_EQ(CodeForErrno(ENOSPC, Access::kWrite, "a"), 112);
    EXPECT_EQ(CodeForErrno(EIO, Access::kWrite, "a"), 160);
    EXPECT_EQ(CodeForErrno(EIO, Access::kRead, "a"), 161);
    EXPECT_EQ(CodeForErrno(ECHILD, Access::kRead, "a"), 1010);  // ECHILD is 10 on Linux
    EXPECT_EQ(CodeForErrno(EXDEV, Access::kWrite, "a"), 1018);  // EXDEV is 18
}

TEST_F(IOLatch, FileExistsNeedsAnExistingFileAndLeavesNothingBehind) {
    std::filesystem::create_directory("sub");
    WriteBytes("Lumarind.Cfg", "1 2 3");
    SetIOResult(5);  // stale, from before the test
    EXPECT_TRUE(FileIO::FileExists("Lumarind.Cfg"));
    EXPECT_EQ(ReadBytes("Lumarind.Cfg"), "1 2 3");
    for (const char* Name : {"missing.Cfg", "nodir/missing.Cfg", "sub", ""}) {
        EXPECT_FALSE(FileIO::FileExists(Name)) << Name;
    }
    EXPECT_FALSE(std::filesystem::exists("missing.Cfg"));  // never created
    // A failed test must not surface later as an I/O error.
    EXPECT_FALSE(IOError());
}

TEST_F(IOLatch, FileExistsRefusesAReadOnlyFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write any file";
    }
    WriteBytes("ro.Cfg", "1");
    ASSERT_EQ(::chmod("ro.Cfg", 0444), 0);
    EXPECT_FALSE(FileIO::FileExists("ro.Cfg"));
    EXPECT_FALSE(IOError());
}

}  // namespace
