#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include "FileIO/FileIO.h"
#include "FileIO/FileIOInternal.h"

namespace FileIO {

namespace {

std::string OutName;  // as the caller named it: the reports of the writes use it
int OutFile = -1;
// A regular file is written beside its target and renamed over it at the
// commit, so a run that fails leaves no partial file and an existing one
// untouched.
bool Replacing = false;
std::string TargetName;  // the file the rename replaces: OutName with links followed
std::string TempName;
mode_t TargetMode = 0;
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
            Target = Name.substr(0, Name.rfind('/') + 1) + Target;
        }
        Name = Target;
    }
    return Name;
}

void Fail(int Errno, const std::string& Name) {
    SetIOResult(CodeForErrno(Errno, Access::Write, Name));
}

// A new file beside the target, with a name that cannot clash, removed again
// by the usual signals.
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
    OutFile = ::mkostemp(TempName.data(), O_CLOEXEC);
    if (OutFile < 0) {
        Fail(errno, TargetName);
        return;
    }
    Replacing = true;
    std::memcpy(TempForSignal, TempName.c_str(), TempName.size() + 1);
    for (int Signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        // A signal ignored from the start (nohup, a background job) stays so:
        // the run must outlive it.
        struct sigaction Old;
        if (::sigaction(Signal, nullptr, &Old) == 0 && Old.sa_handler != SIG_IGN) {
            std::signal(Signal, RemoveTempOnSignal);
        }
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
        Replacing = false;
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

}  // namespace

void OpenReplacing(const std::string& Name, const std::string& Input) {
    if (SameFile(Input, Name)) {
        SetIOResult(kSharingViolation);
        return;
    }
    OutName = Name;
    OpenTarget();
}

void WriteReplacing(const char* Bytes, std::size_t Size) {
    (void)WriteAll(OutFile, OutName, Bytes, Size);
}

void CommitReplacing() {
    if (Replacing && ::fchmod(OutFile, TargetMode) != 0) {
        SetIOResult(CodeForErrno(errno, Access::Write, OutName));
    }
    int Fd = OutFile;
    OutFile = -1;
    CloseFile(Fd, OutName, Access::Write);
    if (Replacing && !IOError()) {
        if (::rename(TempName.c_str(), TargetName.c_str()) != 0) {
            SetIOResult(CodeForErrno(errno, Access::Write, OutName));
        } else {
            Replacing = false;
            TempForSignal[0] = '\0';
        }
    }
}

void AbandonReplacing() {
    if (OutFile >= 0) {
        ::close(OutFile);
        OutFile = -1;
    }
    if (Replacing) {
        ::unlink(TempName.c_str());
        Replacing = false;
        TempForSignal[0] = '\0';
    }
}

}  // namespace FileIO
