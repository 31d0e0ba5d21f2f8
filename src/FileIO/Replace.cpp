#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "FileIO/FileIO.h"
#include "FileIO/FileIOInternal.h"

namespace FileIO {

namespace {

// A regular file gets its contents in a temporary file first, so that a run
// that fails leaves no partial file and an existing one untouched. The
// temporary file lies in the target's directory: without a name until the
// commit where the file system allows (nothing is left even after SIGKILL),
// else with one that the signal handlers remove. Where that directory takes
// no new file but the old one may be written, the contents wait in memory.
enum class Way : std::uint8_t { kDirect, kUnnamed, kNamed, kMemory };

std::string OutName;  // as the caller named it: the reports use it
int OutFile = -1;     // where the writes go
Way OutWay = Way::kDirect;
bool Failed = false;  // a write failed: the contents are not complete

// The target is reached through its directory, held open, so that neither a
// rename of the directory nor new links on the way change what the commit
// replaces or what a failure removes.
int DirFd = -1;
std::string Base;      // the target's name in DirFd
int OldFile = -1;      // the existing target, open for writing; -1 for a new one
mode_t NewMode = 0;    // a new file's permission bits: 0666 less the umask
std::string TempBase;  // the temporary file's name in DirFd, once it has one
bool TempOnDisk = false;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// What the signal handler removes, kept where it needs no allocation.
volatile std::sig_atomic_t DirForSignal = -1;
char TempForSignal[NAME_MAX + 1];

// The size of the pieces a file is copied in.
constexpr std::size_t kCopyPiece = 1 << 16;

void RemoveTempOnSignal(int Signal) {
    if (TempForSignal[0] != '\0') {
        ::unlinkat(DirForSignal, TempForSignal, 0);
    }
    std::signal(Signal, SIG_DFL);
    std::raise(Signal);
}

// While the temporary file's name is in flux, the cleanup signals wait.
void HoldSignals(sigset_t& Before) {
    sigset_t Held;
    sigemptyset(&Held);
    for (int Signal : kCleanupSignals) {
        sigaddset(&Held, Signal);
    }
    ::sigprocmask(SIG_BLOCK, &Held, &Before);
}

void ReleaseSignals(const sigset_t& Before) {
    ::sigprocmask(SIG_SETMASK, &Before, nullptr);
}

void RecordFailure(int Errno) {
    SetIOResult(CodeForErrno(Errno, Access::kWrite, OutName));
}

// Only "/" separates directories for the system.
std::string DirPart(const std::string& Name) {
    std::size_t Slash = Name.rfind('/');
    return Slash == std::string::npos ? std::string(".") : Name.substr(0, Slash + 1);
}

std::string BasePart(const std::string& Name) {
    return Name.substr(Name.rfind('/') + 1);
}

bool SameInode(const struct stat& A, const struct stat& B) {
    return A.st_dev == B.st_dev && A.st_ino == B.st_ino;
}

// Whether Name, resolved by the kernel, is the file St describes.
bool Names(const std::string& Name, const struct stat& St) {
    struct stat Other;
    return !Name.empty() && ::stat(Name.c_str(), &Other) == 0 && SameInode(Other, St);
}

// The name an open file is reached by through /proc.
std::string FdName(int Fd) {
    return "/proc/self/fd/" + std::to_string(Fd);
}

// The path the kernel gives an open file; empty where /proc cannot tell.
std::string KernelPath(int Fd) {
    char Path[PATH_MAX];
    ssize_t n = ::readlink(FdName(Fd).c_str(), Path, sizeof Path);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof Path || Path[0] != '/') {
        return {};
    }
    return {Path, static_cast<std::size_t>(n)};
}

// Whether the links Name ends in lead through a process's descriptor link
// (/dev/stdout, /proc/PID/fd/N): what lies there is somebody's open file,
// not a name a new file can take. Such a link among the directories
// (/proc/self/cwd/) leads to a directory like any other.
bool ThroughDescriptorLink(const std::string& Name) {
#if defined(SYS_openat2)
    auto Plain = [](const std::string& Path) {
        open_how How{};
        How.flags = O_PATH | O_CLOEXEC;
        How.resolve = RESOLVE_NO_MAGICLINKS;
        long Fd = ::syscall(SYS_openat2, AT_FDCWD, Path.c_str(), &How, sizeof How);
        if (Fd >= 0) {
            ::close(static_cast<int>(Fd));
            return true;
        }
        return errno != ELOOP;  // a kernel without openat2 knows no other way
    };
    return !Plain(Name) && Plain(DirPart(Name));
#else
    (void)Name;
    return false;
#endif
}

// Takes Path's directory and last part as the target's when that part is the
// file St describes, not a link to it.
bool LocateAt(const std::string& Path, const struct stat& St) {
    if (Path.empty()) {
        return false;
    }
    int Dir = ::open(DirPart(Path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (Dir < 0) {
        return false;
    }
    std::string Last = BasePart(Path);
    struct stat There;
    if (::fstatat(Dir, Last.c_str(), &There, AT_SYMLINK_NOFOLLOW) != 0 || !SameInode(There, St)) {
        ::close(Dir);
        return false;
    }
    DirFd = Dir;
    Base = Last;
    return true;
}

// Six letters or digits for the "XXXXXX" of TempBase, different on each try.
void PickTempName(unsigned Try) {
    timespec Now{};
    ::clock_gettime(CLOCK_REALTIME, &Now);
    std::uint64_t x = static_cast<std::uint64_t>(Now.tv_nsec) ^
                      (static_cast<std::uint64_t>(Now.tv_sec) << 32) ^
                      (static_cast<std::uint64_t>(::getpid()) << 12) ^ Try;
    x *= 0x9E3779B97F4A7C15u;
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (std::size_t i = TempBase.size() - 6; i < TempBase.size(); ++i) {
        TempBase[i] = kChars[(x >> 40) % (sizeof kChars - 1)];
        x *= 0x9E3779B97F4A7C15u;
    }
}

// An unnamed file in the target's directory. Refused for any reason, the named
// way is tried: a file system without unnamed files says EOPNOTSUPP, a kernel
// older than 3.11 EISDIR, and where the directory itself is at fault the named
// way fails alike and reports it.
bool OpenUnnamed() {
#if defined(O_TMPFILE)
    int Fd = ::openat(DirFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (Fd < 0) {
        return false;
    }
    // Only its /proc name can give it a name at the commit (linking the
    // descriptor itself needs privileges): without /proc, the named way.
    struct stat ByName;
    struct stat ByFd;
    if (::stat(FdName(Fd).c_str(), &ByName) != 0 || ::fstat(Fd, &ByFd) != 0 ||
        !SameInode(ByName, ByFd)) {
        ::close(Fd);
        return false;
    }
    OutFile = Fd;
    OutWay = Way::kUnnamed;
    return true;
#else
    return false;
#endif
}

void CatchCleanupSignals() {
    for (int Signal : kCleanupSignals) {
        // A signal ignored from the start (nohup, a background job) stays so:
        // the run must outlive it.
        struct sigaction Old;
        if (::sigaction(Signal, nullptr, &Old) == 0 && Old.sa_handler != SIG_IGN) {
            std::signal(Signal, RemoveTempOnSignal);
        }
    }
}

enum class Made : std::uint8_t { kFile, kRefused, kReported };

// A new file named TempBase, its "XXXXXX" made unique, removed again by the
// usual signals. A directory that refuses it is left to the caller when there
// is an old file to write instead.
Made CreateNamed() {
    CatchCleanupSignals();
    sigset_t Before;
    HoldSignals(Before);
    int Error = 0;
    for (unsigned Try = 0;; ++Try) {
        PickTempName(Try);
        OutFile = ::openat(DirFd, TempBase.c_str(),
                           O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
        if (OutFile >= 0 || errno != EEXIST || Try == 100) {
            Error = errno;
            break;
        }
    }
    if (OutFile >= 0) {
        OutWay = Way::kNamed;
        TempOnDisk = true;
        DirForSignal = DirFd;
        if (TempBase.size() >= sizeof TempForSignal) {
            std::abort();  // CreateTemp keeps it shorter: never write past the copy
        }
        std::memcpy(TempForSignal, TempBase.c_str(), TempBase.size() + 1);
    }
    ReleaseSignals(Before);
    if (OutFile >= 0) {
        return Made::kFile;
    }
    if ((Error == EACCES || Error == EPERM) && OldFile >= 0) {
        return Made::kRefused;
    }
    RecordFailure(Error);
    return Made::kReported;
}

// The temporary file beside the target.
Made CreateTemp() {
    // It must fit wherever the target's name does: a name near the system's
    // limit gets a short one. The signal handler's copy has room for NAME_MAX.
    constexpr std::string_view kShortBase = "Lumarind";
    constexpr std::string_view kLetters = ".XXXXXX";  // what PickTempName fills in
    static_assert(1 + kShortBase.size() + kLetters.size() <= NAME_MAX);
    bool Long = 1 + Base.size() + kLetters.size() > NAME_MAX;
    TempBase =
        "." + std::string(Long ? kShortBase : std::string_view(Base)) + std::string(kLetters);
    return OpenUnnamed() ? Made::kFile : CreateNamed();
}

// The contents of a file to be rewritten in place, kept where no directory
// has to take them.
void CreateInMemory() {
    OutFile = ::memfd_create("Lumarind", MFD_CLOEXEC);
    if (OutFile < 0) {
        RecordFailure(errno);
        return;
    }
    OutWay = Way::kMemory;
}

// Written as the shell's ">" writes, wherever Name leads.
void OpenDirect() {
    OutWay = Way::kDirect;
    OutFile = ::open(OutName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (OutFile < 0) {
        RecordFailure(errno);
    }
}

// The regular file Target, which the kernel reached by Name: the old file is
// opened for writing at once, since one that may not be written stays
// refused, as if written in place.
void OpenExisting(int Target, const struct stat& St) {
    constexpr int kWriteOld = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    bool Located = LocateAt(OutName, St) || LocateAt(KernelPath(Target), St);
    OldFile = Located ? ::openat(DirFd, Base.c_str(), kWriteOld)
                      : ::open(OutName.c_str(), kWriteOld & ~O_NOFOLLOW);
    if (OldFile < 0) {
        RecordFailure(errno);
        return;
    }
    struct stat Opened;
    if (::fstat(OldFile, &Opened) != 0 || !SameInode(Opened, St)) {
        RecordFailure(EAGAIN);  // moved while it was being opened
        return;
    }
    // Where /proc cannot tell which directory a link leads to, the old file
    // is rewritten in place too.
    if (!Located || CreateTemp() == Made::kRefused) {
        CreateInMemory();
    }
}

// Nothing at Name yet: a new file there, or where the link there leads.
void OpenNew() {
    DirFd = ::open(DirPart(OutName).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (DirFd < 0) {
        RecordFailure(errno);
        return;
    }
    Base = BasePart(OutName);
    struct stat St;
    if (::fstatat(DirFd, Base.c_str(), &St, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(St.st_mode)) {
        // A link to nothing yet: the kernel creates the file it names, by its
        // rules for links, and tells where that is. That empty file goes at
        // once and is made anew at the commit like any new file.
        int Fd = ::openat(DirFd, Base.c_str(),
                          O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
        ::close(std::exchange(DirFd, -1));
        if (Fd < 0) {
            RecordFailure(errno);
            return;
        }
        bool Ours = ::fstat(Fd, &St) == 0 && S_ISREG(St.st_mode) && St.st_size == 0 &&
                    LocateAt(KernelPath(Fd), St);
        ::close(Fd);
        if (!Ours) {
            OpenDirect();
            return;
        }
        ::unlinkat(DirFd, Base.c_str(), 0);
    }
    mode_t Mask = ::umask(0);
    ::umask(Mask);
    NewMode = 0666 & ~Mask;
    (void)CreateTemp();
}

// Gives the finished unnamed file its temporary name. linkat never replaces a
// name, so a taken one is tried again with other letters.
bool LinkUnnamed() {
    std::string From = FdName(OutFile);
    for (unsigned Try = 0;; ++Try) {
        PickTempName(Try);
        if (::linkat(AT_FDCWD, From.c_str(), DirFd, TempBase.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            TempOnDisk = true;
            return true;
        }
        if (errno != EEXIST || Try == 100) {
            RecordFailure(errno);
            return false;
        }
    }
}

// The complete temporary file takes the target's name.
Outcome Rename() {
    if (OutWay == Way::kUnnamed && !LinkUnnamed()) {
        return Outcome::kUntouched;
    }
    CloseFile(std::exchange(OutFile, -1), OutName, Access::kWrite);
    if (IOError()) {
        return Outcome::kUntouched;
    }
    if (::renameat(DirFd, TempBase.c_str(), DirFd, Base.c_str()) != 0) {
        RecordFailure(errno);
        return Outcome::kUntouched;
    }
    TempOnDisk = false;
    TempForSignal[0] = '\0';
    return Outcome::kReplaced;
}

// A failure of the copy into the old file, which Changed says it reached.
Outcome Broken(int Errno, bool Changed) {
    RecordFailure(Errno);
    return Changed ? Outcome::kPartlyWritten : Outcome::kUntouched;
}

// The complete contents go into the old file itself. Its space is taken
// first, where the file system can, so that a full disk stops the copy before
// it starts; only a failing device can leave it partly written.
Outcome Rewrite() {
    struct stat St;
    if (::fstat(OutFile, &St) != 0) {
        return Broken(errno, false);
    }
    off_t Size = St.st_size;
    if (Size > 0 && ::fallocate(OldFile, FALLOC_FL_KEEP_SIZE, 0, Size) != 0 &&
        (errno == ENOSPC || errno == EDQUOT)) {
        return Broken(errno, false);
    }
    std::vector<char> Piece(kCopyPiece);
    bool Changed = false;
    for (off_t At = 0; At < Size;) {
        auto Want = static_cast<std::size_t>(std::min<off_t>(Size - At, kCopyPiece));
        ssize_t Got = ::pread(OutFile, Piece.data(), Want, At);
        if (Got <= 0) {
            if (Got < 0 && errno == EINTR) {
                continue;
            }
            return Broken(Got < 0 ? errno : EIO, Changed);
        }
        for (ssize_t Done = 0; Done < Got;) {
            ssize_t Put = ::pwrite(OldFile, Piece.data() + Done,
                                   static_cast<std::size_t>(Got - Done), At + Done);
            if (Put < 0 && errno == EINTR) {
                continue;
            }
            if (Put < 0) {
                return Broken(errno, Changed);
            }
            Changed = true;
            Done += Put;
        }
        At += Got;
    }
    if (::ftruncate(OldFile, Size) != 0) {
        return Broken(errno, true);
    }
    CloseFile(std::exchange(OldFile, -1), OutName, Access::kWrite);
    return IOError() ? Outcome::kPartlyWritten : Outcome::kRewritten;
}

// Setting the mode fails on file systems without Unix modes (FAT through
// FUSE, some network shares), which have nothing to set.
bool NoModesHere(int Errno) {
    return Errno == ENOSYS || Errno == EOPNOTSUPP || Errno == EPERM;
}

Outcome PutInPlace() {
    if (OldFile < 0) {
        if (::fchmod(OutFile, NewMode) != 0 && !NoModesHere(errno)) {
            return Broken(errno, false);
        }
        return Rename();
    }
    if (OutWay != Way::kMemory && CopyIdentity(OldFile, OutFile)) {
        return Rename();
    }
    return Rewrite();
}

// Closes what is open and removes the temporary file unless it was renamed.
void Release() {
    if (OutFile >= 0) {
        ::close(std::exchange(OutFile, -1));
    }
    if (TempOnDisk) {
        ::unlinkat(DirFd, TempBase.c_str(), 0);
        TempOnDisk = false;
    }
    TempForSignal[0] = '\0';
    DirForSignal = -1;
    if (OldFile >= 0) {
        ::close(std::exchange(OldFile, -1));
    }
    if (DirFd >= 0) {
        ::close(std::exchange(DirFd, -1));
    }
    OutWay = Way::kDirect;
}

}  // namespace

void OpenReplacing(const std::string& Name, const std::string& Input, const std::string& Config) {
    Release();
    Failed = false;
    OutName = Name;
    // The kernel walks the links: its limit on their number and its rules for
    // links in shared directories (fs.protected_symlinks) hold here too.
    int Target = ::open(Name.c_str(), O_PATH | O_CLOEXEC);
    if (Target < 0) {
        if (errno == ENOENT) {
            OpenNew();
        } else {
            RecordFailure(errno);
        }
        return;
    }
    struct stat St;
    if (::fstat(Target, &St) != 0) {
        RecordFailure(errno);
    } else if (Names(Input, St) || Names(Config, St)) {
        // Writing an input would destroy what is being read or was read.
        SetIOResult(kSharingViolation);
    } else if (!S_ISREG(St.st_mode) || ThroughDescriptorLink(Name)) {
        OpenDirect();
    } else {
        OpenExisting(Target, St);
    }
    ::close(Target);
}

void WriteReplacing(const char* Bytes, std::size_t Size) {
    if (!WriteAll(OutFile, OutName, Bytes, Size)) {
        Failed = true;
    }
}

Outcome Commit() {
    sigset_t Before;
    HoldSignals(Before);
    Outcome Result = Outcome::kUntouched;
    if (OutFile < 0) {
        // Nothing was opened: the open's failure is already pending.
    } else if (OutWay == Way::kDirect) {
        CloseFile(std::exchange(OutFile, -1), OutName, Access::kWrite);
        Result = Failed || IOError() ? Outcome::kPartlyWritten : Outcome::kWritten;
    } else if (!Failed && !IOError()) {
        Result = PutInPlace();
    }
    Release();
    ReleaseSignals(Before);
    return Result;
}

void CommitReplacing() {
    (void)Commit();  // what it did shows in the file; a failure is pending
}

void AbandonReplacing() {
    Release();
}

}  // namespace FileIO
