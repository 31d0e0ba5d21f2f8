#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>

#include "FileIO/FileIO.h"
#include "FileIO/FileIOInternal.h"

namespace FileIO {

namespace {

std::string OutName;  // as the caller named it: the reports of the writes use it
int OutFile = -1;
bool Failed = false;  // a write or the mode failed: the file gets no name

// A regular file is written beside its target and renamed over it at the
// commit, so a run that fails leaves no partial file and an existing one
// untouched. The unnamed way leaves nothing even after SIGKILL: the file gets
// its temporary name only when complete. The named way is for file systems
// that refuse unnamed files; its signal handlers remove the name.
enum class Way : std::uint8_t { Direct, Unnamed, Named };
Way OutWay = Way::Direct;
std::string TargetName;  // the file the rename replaces: OutName with links followed
std::string TempName;
bool TempOnDisk = false;  // TempName names our file and must go unless renamed
mode_t TargetMode = 0;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// The temporary file's name for the signal handler, which may not allocate.
char TempForSignal[8192];

void RemoveTempOnSignal(int Signal) {
    if (TempForSignal[0] != '\0') {
        ::unlink(TempForSignal);
    }
    std::signal(Signal, SIG_DFL);
    std::raise(Signal);
}

// Whether A and B name one existing file, by whatever links.
bool SameFile(const std::string& A, const std::string& B) {
    struct stat StA;
    struct stat StB;
    return ::stat(A.c_str(), &StA) == 0 && ::stat(B.c_str(), &StB) == 0 &&
           StA.st_dev == StB.st_dev && StA.st_ino == StB.st_ino;
}

// Follows symbolic links to the file they finally name, which need not exist.
std::string FollowLinks(std::string Name) {
    for (int Hops = 0; Hops < 40; ++Hops) {
        struct stat St;
        if (::lstat(Name.c_str(), &St) != 0 || !S_ISLNK(St.st_mode)) {
            break;
        }
        std::string Target(static_cast<std::size_t>(St.st_size) + 256, '\0');
        ssize_t n = ::readlink(Name.c_str(), Target.data(), Target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= Target.size()) {
            break;
        }
        Target.resize(static_cast<std::size_t>(n));
        if (Target.front() != '/') {
            Target.insert(0, Name, 0, Name.rfind('/') + 1);
        }
        Name = Target;
    }
    return Name;
}

void Fail(int Errno, const std::string& Name) {
    SetIOResult(CodeForErrno(Errno, Access::Write, Name));
}

// The name an unnamed file is reached by while it is open.
std::string FdName(int Fd) {
    return "/proc/self/fd/" + std::to_string(Fd);
}

// An unnamed file in the target's directory. Refused for any reason, the named
// way is tried: a file system without unnamed files says EOPNOTSUPP, a kernel
// older than 3.11 EISDIR, and where the directory itself is at fault the named
// way fails alike and reports it.
bool OpenUnnamed(std::string Dir) {
#if defined(O_TMPFILE)
    if (Dir.empty()) {
        Dir = ".";
    }
    int Fd = ::open(Dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (Fd < 0) {
        return false;
    }
    // Only its /proc name can give it a name at the commit (linking the
    // descriptor itself needs privileges): without /proc, the named way.
    struct stat ByName;
    struct stat ByFd;
    if (::stat(FdName(Fd).c_str(), &ByName) != 0 || ::fstat(Fd, &ByFd) != 0 ||
        ByName.st_dev != ByFd.st_dev || ByName.st_ino != ByFd.st_ino) {
        ::close(Fd);
        return false;
    }
    OutFile = Fd;
    OutWay = Way::Unnamed;
    return true;
#else
    (void)Dir;
    return false;
#endif
}

// A new file named TempName, its "XXXXXX" made unique, removed again by the
// usual signals.
void CreateNamed() {
    OutFile = ::mkostemp(TempName.data(), O_CLOEXEC);
    if (OutFile < 0) {
        Fail(errno, TargetName);
        return;
    }
    OutWay = Way::Named;
    TempOnDisk = true;
    std::memcpy(TempForSignal, TempName.c_str(), TempName.size() + 1);
    for (int Signal : kCleanupSignals) {
        // A signal ignored from the start (nohup, a background job) stays so:
        // the run must outlive it.
        struct sigaction Old;
        if (::sigaction(Signal, nullptr, &Old) == 0 && Old.sa_handler != SIG_IGN) {
            std::signal(Signal, RemoveTempOnSignal);
        }
    }
}

// The file beside the target that the rename will move over it.
void CreateTempFile() {
    std::size_t Slash = TargetName.rfind('/') + 1;  // only "/" separates here
    // The temporary name must fit wherever the target's does: a name near the
    // system's limit gets a short one.
    std::string Base = TargetName.substr(Slash);
    if (Base.size() + 8 > NAME_MAX) {
        Base = "Lumarind";
    }
    TempName = TargetName.substr(0, Slash) + "." + Base + ".XXXXXX";
    if (TempName.size() >= sizeof TempForSignal) {
        Fail(ENAMETOOLONG, TargetName);
        return;
    }
    // A temporary name too long for a path is refused here, by the named way,
    // not at the commit.
    if (TempName.size() >= PATH_MAX || !OpenUnnamed(TargetName.substr(0, Slash))) {
        CreateNamed();
    }
}

// Opens the file the writes go to: a new file beside a regular (or missing)
// target, or the target itself when it is a device or a pipe.
void OpenTarget() {
    TargetName = FollowLinks(OutName);
    struct stat St;
    bool Exists = ::stat(TargetName.c_str(), &St) == 0;
    if (!Exists && errno != ENOENT) {
        Fail(errno, TargetName);
        return;
    }
    if (Exists && !S_ISREG(St.st_mode)) {
        OutFile =
            ::open(TargetName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
        if (OutFile < 0) {
            Fail(errno, TargetName);
        }
        return;
    }
    if (Exists) {
        // A file we could not overwrite stays refused, as if written in place.
        int Probe = ::open(TargetName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (Probe < 0) {
            Fail(errno, TargetName);
            return;
        }
        ::close(Probe);
        TargetMode = St.st_mode & 07777;
    } else {
        mode_t Mask = ::umask(0);
        ::umask(Mask);
        TargetMode = 0666 & ~Mask;
    }
    CreateTempFile();
}

// Six letters or digits for the "XXXXXX" of TempName, different on each try.
void PickTempName(unsigned Try) {
    timespec Now{};
    ::clock_gettime(CLOCK_REALTIME, &Now);
    std::uint64_t x = static_cast<std::uint64_t>(Now.tv_nsec) ^
                      (static_cast<std::uint64_t>(Now.tv_sec) << 32) ^
                      (static_cast<std::uint64_t>(::getpid()) << 12) ^ Try;
    x *= 0x9E3779B97F4A7C15u;
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (std::size_t i = TempName.size() - 6; i < TempName.size(); ++i) {
        TempName[i] = kChars[(x >> 40) % (sizeof kChars - 1)];
        x *= 0x9E3779B97F4A7C15u;
    }
}

// Gives the finished unnamed file its temporary name. linkat never replaces a
// name, so a taken one is tried again with other letters.
void LinkUnnamed() {
    std::string From = FdName(OutFile);
    for (unsigned Try = 0;; ++Try) {
        PickTempName(Try);
        if (::linkat(AT_FDCWD, From.c_str(), AT_FDCWD, TempName.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            TempOnDisk = true;
            return;
        }
        if (errno != EEXIST || Try == 100) {
            Fail(errno, OutName);
            return;
        }
    }
}

// The named file goes over the target unless something failed; the caller's
// report of the failure drops it.
void CommitNamed() {
    int Fd = OutFile;
    OutFile = -1;
    CloseFile(Fd, OutName, Access::Write);
    if (!IOError()) {
        if (::rename(TempName.c_str(), TargetName.c_str()) != 0) {
            Fail(errno, OutName);
        } else {
            TempOnDisk = false;
            TempForSignal[0] = '\0';
        }
    }
}

// From the link to the rename the file has a name; the cleanup signals wait
// until it is either gone or the target's, so none can leave it behind.
void CommitUnnamed() {
    sigset_t Held;
    sigset_t Before;
    sigemptyset(&Held);
    for (int Signal : kCleanupSignals) {
        sigaddset(&Held, Signal);
    }
    ::sigprocmask(SIG_BLOCK, &Held, &Before);
    if (!Failed) {
        LinkUnnamed();
    }
    int Fd = OutFile;
    OutFile = -1;
    CloseFile(Fd, OutName, Access::Write);
    if (TempOnDisk) {
        if (IOError()) {
            ::unlink(TempName.c_str());
        } else if (::rename(TempName.c_str(), TargetName.c_str()) != 0) {
            Fail(errno, OutName);
            ::unlink(TempName.c_str());
        }
        TempOnDisk = false;
    }
    ::sigprocmask(SIG_SETMASK, &Before, nullptr);
}

}  // namespace

void OpenReplacing(const std::string& Name, const std::string& Input) {
    OutWay = Way::Direct;
    Failed = false;
    if (SameFile(Input, Name)) {
        SetIOResult(kSharingViolation);
        return;
    }
    OutName = Name;
    OpenTarget();
}

void WriteReplacing(const char* Bytes, std::size_t Size) {
    if (!WriteAll(OutFile, OutName, Bytes, Size)) {
        Failed = true;
    }
}

void CommitReplacing() {
    if (OutWay != Way::Direct && ::fchmod(OutFile, TargetMode) != 0) {
        Fail(errno, OutName);
        Failed = true;
    }
    switch (OutWay) {
        case Way::Direct: {
            int Fd = OutFile;
            OutFile = -1;
            CloseFile(Fd, OutName, Access::Write);
            break;
        }
        case Way::Unnamed:
            CommitUnnamed();
            break;
        case Way::Named:
            CommitNamed();
            break;
    }
    OutWay = Way::Direct;
}

void AbandonReplacing() {
    if (OutFile >= 0) {
        ::close(OutFile);
        OutFile = -1;
    }
    if (TempOnDisk) {
        ::unlink(TempName.c_str());
        TempOnDisk = false;
        TempForSignal[0] = '\0';
    }
    OutWay = Way::Direct;
}

}  // namespace FileIO
