// The replacement of the output file through its four calls, on real files in
// a fresh directory. CTest runs these twice: as the program picks its way of
// writing, and under no_tmpfile, where the temporary file has a name.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <regex>
#include <set>
#include <string>

#include "FileIO/FileIOInternal.h"
#include "TestSupport.h"

namespace {

using FileIO::Outcome;

const std::string kOld = "an older board\r\n";
const std::string kNew = "{ Converted from a Gerber file by Lumarind ver. 4.0 }\r\n";

class Replace : public TempDirTest {
   protected:
    void SetUp() override {
        TempDirTest::SetUp();
        FileIO::ClearIOError();
        WriteBytes("in.gbr", "G54D10*\r\n");
        Mask = ::umask(022);
    }
    void TearDown() override {
        FileIO::AbandonReplacing();
        FileIO::ClearIOError();
        ::umask(Mask);
        TempDirTest::TearDown();
    }

   private:
    mode_t Mask = 0;
};

// The names in Dir, dot files too, so that a temporary file left shows.
std::set<std::string> Entries(const std::string& Dir = ".") {
    std::set<std::string> Names;
    for (const auto& Entry : std::filesystem::directory_iterator(Dir)) {
        Names.insert(Entry.path().filename().string());
    }
    return Names;
}

struct stat StatOf(const std::string& Name) {
    struct stat St {};
    EXPECT_EQ(::stat(Name.c_str(), &St), 0) << Name;
    return St;
}

// The text of the latched error, which it clears.
std::string Report() {
    return FileIO::IOError() ? FileIO::IOErrorMessage("out.PCB") : "";
}

// Opens Name and, unless that failed (the failure stays latched for Report),
// writes the new contents, as the PCB writer does.
void Start(const std::string& Name, const std::string& Config = {}) {
    FileIO::OpenReplacing(Name, "in.gbr", Config);
    if (!FileIO::IOError()) {
        FileIO::WriteReplacing(kNew.data(), kNew.size());
    }
}

Outcome WriteWhole(const std::string& Name) {
    Start(Name);
    return FileIO::Commit();
}

// The file-size limit, lowered for one call; SIGXFSZ is ignored meanwhile,
// so a write beyond it fails with EFBIG.
void UnderSizeLimit(rlim_t Bytes, const std::function<void()>& Body) {
    rlimit Old{};
    ::getrlimit(RLIMIT_FSIZE, &Old);
    rlimit Low = Old;
    Low.rlim_cur = Bytes;
    auto* Was = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &Low);
    Body();
    ::setrlimit(RLIMIT_FSIZE, &Old);
    std::signal(SIGXFSZ, Was);
}

TEST_F(Replace, NewFileAppearsOnlyWhenComplete) {
    Start("out.PCB");
    // Unnamed, the file has no name at all; named, it is the only other one.
    std::set<std::string> While = Entries();
    While.erase("in.gbr");
    EXPECT_LE(While.size(), 1u);
    for (const std::string& Name : While) {
        EXPECT_TRUE(std::regex_match(Name, std::regex(R"(\.out\.PCB\.[A-Za-z0-9]{6})"))) << Name;
    }
    EXPECT_EQ(FileIO::Commit(), Outcome::kReplaced);
    EXPECT_EQ(Report(), "");
    EXPECT_EQ(ReadBytes("out.PCB"), kNew);
    EXPECT_EQ(StatOf("out.PCB").st_mode & 07777, 0644u);  // 0666 less the umask
    EXPECT_EQ(Entries(), (std::set<std::string>{"in.gbr", "out.PCB"}));
}

// The replaced file keeps owner, group, mode, ACL, attributes and links: by
// taking them on a new file, or, where that cannot hold them all, by the new
// contents copied into the file itself.
TEST_F(Replace, ExistingFileKeepsItsIdentity) {
    bool Root = ::geteuid() == 0;
    // An ACL granting user 65534 read and write, with mask rw: the group
    // bits of the mode show the mask.
    const std::string Acl = std::string("\x02\0\0\0", 4) +                    // version
                            std::string("\x01\0\x06\0\xff\xff\xff\xff", 8) +  // owner rw
                            std::string("\x02\0\x06\0\xfe\xff\0\0", 8) +      // 65534 rw
                            std::string("\x04\0\x04\0\xff\xff\xff\xff", 8) +  // group r
                            std::string("\x10\0\x06\0\xff\xff\xff\xff", 8) +  // mask rw
                            std::string("\x20\0\0\0\xff\xff\xff\xff", 8);     // other
    struct Row {
        const char* What;
        std::function<bool()> Prepare;  // false: not possible here
        Outcome Expected;
    };
    for (const Row& r : {
             Row{"mode 0604", [] { return ::chmod("out.PCB", 0604) == 0; }, Outcome::kReplaced},
             Row{"another hard link", [] { return ::link("out.PCB", "other.PCB") == 0; },
                 Outcome::kRewritten},
             Row{"setuid, of another owner (taken on by root)",
                 [Root] {
                     return Root && ::chown("out.PCB", 65534, 65534) == 0 &&
                            ::chmod("out.PCB", 04750) == 0;
                 },
                 Outcome::kReplaced},
             Row{"an ACL and a user attribute",
                 [&Acl] {
                     return ::setxattr("out.PCB", "system.posix_acl_access", Acl.data(), Acl.size(),
                                       0) == 0 &&
                            ::setxattr("out.PCB", "user.note", "kept", 4, 0) == 0;
                 },
                 Outcome::kReplaced},
         }) {
        std::filesystem::remove("other.PCB");
        WriteBytes("out.PCB", kOld);
        if (!r.Prepare()) {
            std::cout << "NOTE: not possible here: " << r.What << "\n";
            continue;
        }
        struct stat Before = StatOf("out.PCB");
        std::set<std::string> Names = Entries();
        char Note[8] = {};
        ssize_t NoteSize = ::getxattr("out.PCB", "user.note", Note, sizeof Note);
        std::string AclBefore(256, '\0');
        ssize_t AclSize =
            ::getxattr("out.PCB", "system.posix_acl_access", AclBefore.data(), AclBefore.size());

        Start("out.PCB");
        EXPECT_EQ(FileIO::Commit(), r.Expected) << r.What;
        EXPECT_EQ(Report(), "") << r.What;
        EXPECT_EQ(ReadBytes("out.PCB"), kNew) << r.What;
        struct stat After = StatOf("out.PCB");
        EXPECT_EQ(After.st_uid, Before.st_uid) << r.What;
        EXPECT_EQ(After.st_gid, Before.st_gid) << r.What;
        EXPECT_EQ(After.st_mode, Before.st_mode) << r.What;
        EXPECT_EQ(After.st_nlink, Before.st_nlink) << r.What;
        EXPECT_EQ(After.st_ino == Before.st_ino, r.Expected == Outcome::kRewritten) << r.What;
        if (Before.st_nlink > 1) {
            EXPECT_EQ(ReadBytes("other.PCB"), kNew) << r.What;
        }
        char NoteAfter[8] = {};
        EXPECT_EQ(::getxattr("out.PCB", "user.note", NoteAfter, sizeof NoteAfter), NoteSize);
        EXPECT_EQ(std::string(NoteAfter), std::string(Note)) << r.What;
        std::string AclAfter(256, '\0');
        EXPECT_EQ(
            ::getxattr("out.PCB", "system.posix_acl_access", AclAfter.data(), AclAfter.size()),
            AclSize)
            << r.What;
        EXPECT_EQ(AclAfter, AclBefore) << r.What;
        EXPECT_EQ(Entries(), Names) << r.What;
    }
}

TEST_F(Replace, AbandonLeavesEverythingAsItWas) {
    for (bool Existing : {false, true}) {
        if (Existing) {
            WriteBytes("out.PCB", kOld);
        }
        std::set<std::string> Names = Entries();
        Start("out.PCB");
        FileIO::AbandonReplacing();
        FileIO::AbandonReplacing();  // a second time does nothing
        EXPECT_EQ(Entries(), Names) << Existing;
        if (Existing) {
            EXPECT_EQ(ReadBytes("out.PCB"), kOld);
        }
    }
}

// An input may never be written: by its own name, another path, a hard link
// or a symbolic link; the configuration file as much as the Gerber file.
TEST_F(Replace, NeverAnInput) {
    WriteBytes("setup.Cfg", kOld);
    ASSERT_EQ(::mkdir("sub", 0755), 0);
    ASSERT_EQ(::link("in.gbr", "hard.PCB"), 0);
    ASSERT_EQ(::symlink("in.gbr", "soft.PCB"), 0);
    ASSERT_EQ(::symlink("setup.Cfg", "cfg.PCB"), 0);
    std::set<std::string> Names = Entries();
    for (const char* Name :
         {"in.gbr", "sub/../in.gbr", "hard.PCB", "soft.PCB", "cfg.PCB", "setup.Cfg"}) {
        Start(Name, "setup.Cfg");
        EXPECT_EQ(Report(), "I/O error (Error code 32)") << Name;
        EXPECT_EQ(FileIO::Commit(), Outcome::kUntouched) << Name;
        EXPECT_EQ(ReadBytes("in.gbr"), "G54D10*\r\n") << Name;
        EXPECT_EQ(ReadBytes("setup.Cfg"), kOld) << Name;
        EXPECT_EQ(Entries(), Names) << Name;
    }
}

// Each way a commit can fail leaves no temporary file and says through its
// outcome whether the target changed; the latch holds the reason.
TEST_F(Replace, FailedCommitCleansUpAfterItself) {
    struct Row {
        const char* What;
        bool Linked;  // the old file has a second link, so it is rewritten in place
        std::function<Outcome()> Run;
        const char* Report;
        Outcome Expected;
        const std::string& Left;
    };
    for (const Row& r : {
             Row{"an error pending", false,
                 [] {
                     Start("out.PCB");
                     FileIO::SetIOResult(160);
                     return FileIO::Commit();
                 },
                 "Device write fault", Outcome::kUntouched, kOld},
             Row{"a write beyond the size limit", false,
                 [] {
                     FileIO::OpenReplacing("out.PCB", "in.gbr");
                     UnderSizeLimit(4, [] { FileIO::WriteReplacing(kNew.data(), kNew.size()); });
                     return FileIO::Commit();
                 },
                 "I/O error (Error code 112)", Outcome::kUntouched, kOld},
             Row{"the name taken by a directory meanwhile", false,
                 [] {
                     Start("out.PCB");
                     std::filesystem::rename("out.PCB", "moved.PCB");
                     std::filesystem::create_directory("out.PCB");
                     return FileIO::Commit();
                 },
                 "File access denied (Read-only, directory full ?)", Outcome::kUntouched, kOld},
             Row{"the copy in place beyond the size limit", true,
                 [] {
                     Start("out.PCB");
                     Outcome Result = Outcome::kReplaced;
                     UnderSizeLimit(4, [&Result] { Result = FileIO::Commit(); });
                     return Result;
                 },
                 "I/O error (Error code 112)", Outcome::kPartlyWritten, kNew},
         }) {
        std::filesystem::remove_all("moved.PCB");
        std::filesystem::remove_all("out.PCB");
        std::filesystem::remove("other.PCB");
        WriteBytes("out.PCB", kOld);
        if (r.Linked) {
            ASSERT_EQ(::link("out.PCB", "other.PCB"), 0);
        }
        Outcome Result = r.Run();
        EXPECT_EQ(Result, r.Expected) << r.What;
        EXPECT_EQ(Report(), r.Report) << r.What;
        std::set<std::string> Names = Entries();
        Names.erase("moved.PCB");
        Names.erase("other.PCB");
        EXPECT_EQ(Names, (std::set<std::string>{"in.gbr", "out.PCB"})) << r.What;
        std::string Kept =
            ReadBytes(std::filesystem::is_directory("out.PCB") ? "moved.PCB" : "out.PCB");
        if (Result == Outcome::kPartlyWritten) {
            // The first four bytes are new, the rest is the old file's.
            EXPECT_EQ(Kept, kNew.substr(0, 4) + kOld.substr(4)) << r.What;
        } else {
            EXPECT_EQ(Kept, r.Left) << r.What;
        }
    }
}

// The directory is held open: renamed during the run, it still receives the
// new file, and a dropped run leaves nothing in it.
TEST_F(Replace, DirectoryRenamedDuringTheRun) {
    for (bool Commit : {true, false}) {
        std::filesystem::remove_all("moved");
        ASSERT_EQ(::mkdir("sub", 0755), 0);
        Start("sub/out.PCB");
        std::filesystem::rename("sub", "moved");
        if (Commit) {
            EXPECT_EQ(FileIO::Commit(), Outcome::kReplaced);
            EXPECT_EQ(Report(), "");
            EXPECT_EQ(Entries("moved"), std::set<std::string>{"out.PCB"});
            EXPECT_EQ(ReadBytes("moved/out.PCB"), kNew);
        } else {
            FileIO::AbandonReplacing();
            EXPECT_EQ(Entries("moved"), std::set<std::string>{});
        }
    }
}

// Links are followed by the kernel alone: to the file they lead to, which is
// replaced or created while the links stay; up to its limit of 40, not one
// further; through a process's descriptor link, straight into the open file
// or pipe.
TEST_F(Replace, LinksAsTheKernelFollowsThem) {
    ASSERT_EQ(::mkdir("real", 0755), 0);
    WriteBytes("real/b.PCB", kOld);
    ASSERT_EQ(::symlink("real/b.PCB", "link.PCB"), 0);
    EXPECT_EQ(WriteWhole("link.PCB"), Outcome::kReplaced);
    EXPECT_EQ(ReadBytes("real/b.PCB"), kNew);
    EXPECT_EQ(Entries("real"), std::set<std::string>{"b.PCB"});
    EXPECT_EQ(std::filesystem::read_symlink("link.PCB"), "real/b.PCB");

    ASSERT_EQ(::symlink("real/new.PCB", "dangling.PCB"), 0);
    Start("dangling.PCB");
    EXPECT_EQ(Entries("real").count("new.PCB"), 0u);  // not before the commit
    EXPECT_EQ(FileIO::Commit(), Outcome::kReplaced);
    EXPECT_EQ(ReadBytes("real/new.PCB"), kNew);
    EXPECT_EQ(StatOf("real/new.PCB").st_mode & 07777, 0644u);

    std::string Chain = "real/b.PCB";
    for (int i = 1; i <= 41; ++i) {
        std::string Link = "chain" + std::to_string(i);
        ASSERT_EQ(::symlink(Chain.c_str(), Link.c_str()), 0);
        Chain = Link;
    }
    WriteBytes("real/b.PCB", kOld);
    Start("chain41");
    EXPECT_EQ(Report(), "I/O error (Error code 1040)");  // ELOOP
    EXPECT_EQ(FileIO::Commit(), Outcome::kUntouched);
    EXPECT_EQ(ReadBytes("real/b.PCB"), kOld);
    EXPECT_EQ(WriteWhole("chain40"), Outcome::kReplaced);
    EXPECT_EQ(ReadBytes("real/b.PCB"), kNew);

    WriteBytes("open.PCB", kOld + kOld);
    int Open = ::open("open.PCB", O_RDONLY);
    ASSERT_GE(Open, 0);
    ino_t Inode = StatOf("open.PCB").st_ino;
    EXPECT_EQ(WriteWhole("/proc/self/fd/" + std::to_string(Open)), Outcome::kWritten);
    EXPECT_EQ(ReadBytes("open.PCB"), kNew);  // truncated first, as by ">"
    EXPECT_EQ(StatOf("open.PCB").st_ino, Inode);
    ::close(Open);

    int Pipe[2];
    ASSERT_EQ(::pipe(Pipe), 0);
    EXPECT_EQ(WriteWhole("/dev/fd/" + std::to_string(Pipe[1])), Outcome::kWritten);
    ::close(Pipe[1]);
    std::string Got(kNew.size() + 1, '\0');
    EXPECT_EQ(::read(Pipe[0], Got.data(), Got.size()), static_cast<ssize_t>(kNew.size()));
    ::close(Pipe[0]);
    EXPECT_EQ(Got.substr(0, kNew.size()), kNew);
}

}  // namespace
