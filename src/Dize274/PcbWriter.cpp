#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <initializer_list>

#include "Dize274/Dize274Internal.h"
#include "FileIO/FileIO.h"

namespace Dize274 {

namespace {

// The file goes to the disk in pieces of exactly this size, which decides where
// among the warnings a failed write is reported.
constexpr std::size_t kPcbBufferSize = 16384;
char PcbBuffer[kPcbBufferSize];
std::size_t PcbUsed = 0;

int PcbFile = -1;
// A regular file is written beside its target and renamed over it at the close,
// so a run that fails leaves no partial file and an existing one untouched.
bool Replacing = false;
std::string TargetName;  // the file the rename replaces: PcbName with links followed
std::string TempName;
mode_t TargetMode = 0;
// The temporary file's name for the signal handler, which may not allocate.
char TempForSignal[8192];

enum : std::uint8_t { kLines = 0, kPads = 1, kNone = 2 };
constexpr std::string_view kSectionHeader[] = {"  Lines (", "  Pads ("};
std::uint8_t CurSection = kNone;
std::int32_t CurX = 0;
std::int32_t CurY = 0;

void Flush() {
    if (PcbUsed > 0) {
        (void)FileIO::WriteAll(PcbFile, PcbName, PcbBuffer, PcbUsed);
        PcbUsed = 0;
    }
}

void Put(const char* Bytes, std::size_t n) {
    while (PcbUsed + n >= kPcbBufferSize) {
        std::size_t Room = kPcbBufferSize - PcbUsed;
        std::memcpy(PcbBuffer + PcbUsed, Bytes, Room);
        PcbUsed = kPcbBufferSize;
        Flush();
        Bytes += Room;
        n -= Room;
    }
    std::memcpy(PcbBuffer + PcbUsed, Bytes, n);
    PcbUsed += n;
}

void PutLine(std::string_view Text) {
    Put(Text.data(), Text.size());
    Put("\r\n", 2);
    CheckIO(PcbName);
}

// Writes "    (" and the numbers separated by single blanks, then ")".
void PutRecord(std::initializer_list<std::int32_t> Numbers) {
    char Record[128] = "    (";
    char* Out = Record + 5;
    for (std::int32_t n : Numbers) {
        Out = std::to_chars(Out, Record + sizeof Record, n).ptr;
        *Out++ = ' ';
    }
    Out[-1] = ')';
    *Out++ = '\r';
    *Out++ = '\n';
    Put(Record, static_cast<std::size_t>(Out - Record));
    CheckIO(PcbName);
}

void RemoveTempOnSignal(int Signal) {
    if (TempForSignal[0] != '\0') {
        ::unlink(TempForSignal);
    }
    std::signal(Signal, SIG_DFL);
    std::raise(Signal);
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
    FileIO::SetIOResult(FileIO::CodeForErrno(Errno, FileIO::Access::Write, Name));
    CheckIO(PcbName);
}

// Creates the file the records go to: a new file beside a regular (or missing)
// target, or the target itself when it is a device or a pipe.
void CreatePcbFile() {
    TargetName = FollowLinks(PcbName);
    struct stat St;
    bool Exists = ::stat(TargetName.c_str(), &St) == 0;
    if (!Exists && errno != ENOENT) {
        Fail(errno, TargetName);
    }
    if (Exists && !S_ISREG(St.st_mode)) {
        Replacing = false;
        PcbFile =
            ::open(TargetName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
        if (PcbFile < 0) {
            Fail(errno, TargetName);
        }
        return;
    }
    if (Exists) {
        // A file we could not overwrite stays refused, as if written in place.
        int Probe = ::open(TargetName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (Probe < 0) {
            Fail(errno, TargetName);
        }
        ::close(Probe);
        TargetMode = St.st_mode & 07777;
    } else {
        mode_t Mask = ::umask(0);
        ::umask(Mask);
        TargetMode = 0666 & ~Mask;
    }
    std::size_t Slash = TargetName.rfind('/') + 1;  // only "/" separates here
    TempName = TargetName.substr(0, Slash) + "." + TargetName.substr(Slash) + ".XXXXXX";
    if (TempName.size() >= sizeof TempForSignal) {
        Fail(ENAMETOOLONG, TargetName);
    }
    PcbFile = ::mkostemp(TempName.data(), O_CLOEXEC);
    if (PcbFile < 0) {
        Fail(errno, TargetName);
    }
    Replacing = true;
    std::memcpy(TempForSignal, TempName.c_str(), TempName.size() + 1);
    for (int Signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        std::signal(Signal, RemoveTempOnSignal);
    }
}

// The PCB file must never be the Gerber file it is made from: creating it would
// destroy the input.
void RefuseInputAsOutput() {
    struct stat In;
    struct stat Out;
    if (::stat(GerberName.c_str(), &In) == 0 && ::stat(PcbName.c_str(), &Out) == 0 &&
        In.st_dev == Out.st_dev && In.st_ino == Out.st_ino) {
        FileIO::SetIOResult(FileIO::kSharingViolation);
        CheckIO(PcbName);
    }
}

}  // namespace

void OpenPcb() {
    RefuseInputAsOutput();
    PcbUsed = 0;
    CreatePcbFile();
    PutLine("{ Converted from a Gerber file by Lumarind ver. 4.0 }");
    PutLine("");
    PutLine("Layout (");
    CurSection = kNone;
    CurX = 0;
    CurY = 0;
}

void MoveTo(std::int32_t x, std::int32_t y) {
    CurX = x;
    CurY = y;
}

void WriteLineRec(std::int32_t x, std::int32_t y, std::int32_t w) {
    SelectSection(kLines);
    PutRecord({CurX, CurY, x, y, w, Layer});
    CurX = x;
    CurY = y;
}

void WritePadRec(std::int32_t x, std::int32_t y, std::int32_t p) {
    SelectSection(kPads);
    PutRecord({x, y, p});
}

void SelectSection(std::uint8_t k) {
    if (k == CurSection) {
        return;
    }
    CloseSection();
    PutLine(kSectionHeader[k]);
    CurSection = k;
}

void CloseSection() {
    if (CurSection != kNone) {
        PutLine("  )");
        CurSection = kNone;
    }
}

void ClosePcb() {
    CloseSection();
    PutLine(")");
    Flush();
    if (Replacing && ::fchmod(PcbFile, TargetMode) != 0) {
        FileIO::SetIOResult(FileIO::CodeForErrno(errno, FileIO::Access::Write, PcbName));
    }
    int Fd = PcbFile;
    PcbFile = -1;
    FileIO::CloseFile(Fd, PcbName, FileIO::Access::Write);
    if (Replacing && !FileIO::IOError()) {
        if (::rename(TempName.c_str(), TargetName.c_str()) != 0) {
            FileIO::SetIOResult(FileIO::CodeForErrno(errno, FileIO::Access::Write, PcbName));
        } else {
            Replacing = false;
            TempForSignal[0] = '\0';
        }
    }
    CheckIO(PcbName);
}

void AbandonPcb() {
    if (PcbFile >= 0) {
        ::close(PcbFile);
        PcbFile = -1;
    }
    if (Replacing) {
        ::unlink(TempName.c_str());
        Replacing = false;
        TempForSignal[0] = '\0';
    }
    PcbUsed = 0;
    CurSection = kNone;
}

}  // namespace Dize274
