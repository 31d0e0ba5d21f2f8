#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include "Dize274/DecimalText.h"
#include "Dize274/Dize274Internal.h"
#include "FileIO/FileIO.h"

namespace Dize274 {

namespace {

// The file goes to the disk in pieces of exactly this size, which decides where
// among the warnings a failed write is reported.
constexpr std::size_t kPcbBufferSize = 16384;
// Room behind a full piece for one record, so that records are written in
// place and what overhangs the piece moves to the front after it went out:
// "    (", six numbers, CR LF, and what the digits may overrun.
constexpr std::size_t kRecordRoom = 5 + 6 * kMaxDecimal + 2 + kDecimalOverrun;
char PcbBuffer[kPcbBufferSize + kRecordRoom];
std::size_t PcbUsed = 0;  // below kPcbBufferSize between writes

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
// The text of the current point, "x y ", as the last line record wrote it:
// the next line starts there, so its text is copied, not made again. Empty
// when the point was set otherwise.
char CurText[2 * kMaxDecimal + kDecimalOverrun];
std::size_t CurTextSize = 0;

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

// A full piece goes out; what overhangs it moves to the front.
[[gnu::noinline]] void SendPiece() {
    (void)FileIO::WriteAll(PcbFile, PcbName, PcbBuffer, kPcbBufferSize);
    PcbUsed -= kPcbBufferSize;
    std::memcpy(PcbBuffer, PcbBuffer + kPcbBufferSize, PcbUsed);
    CheckIO(PcbName);
}

// Closes a record written in place at PcbBuffer + PcbUsed, the last blank
// before Out becoming ")": a full piece goes out as Put would send it.
void EndRecord(char* Out) {
    Out[-1] = ')';
    Out[0] = '\r';
    Out[1] = '\n';
    PcbUsed = static_cast<std::size_t>(Out + 2 - PcbBuffer);
    if (PcbUsed >= kPcbBufferSize) {
        SendPiece();
    }
}

char* StartRecord() {
    char* Out = PcbBuffer + PcbUsed;
    std::memcpy(Out, "    (", 5);
    return Out + 5;
}

[[gnu::noinline]] void SwitchSection(std::uint8_t k) {
    CloseSection();
    PutLine(kSectionHeader[k]);
    CurSection = k;
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
    // The temporary name must fit wherever the target's does: a name near the
    // system's limit gets a short one.
    std::string Base = TargetName.substr(Slash);
    if (Base.size() + 8 > NAME_MAX) {
        Base = "Lumarind";
    }
    TempName = TargetName.substr(0, Slash) + "." + Base + ".XXXXXX";
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
        // A signal ignored from the start (nohup, a background job) stays so:
        // the run must outlive it.
        struct sigaction Old;
        if (::sigaction(Signal, nullptr, &Old) == 0 && Old.sa_handler != SIG_IGN) {
            std::signal(Signal, RemoveTempOnSignal);
        }
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
    MoveTo(0, 0);
}

void MoveTo(std::int32_t x, std::int32_t y) {
    CurX = x;
    CurY = y;
    CurTextSize = 0;
}

void WriteLineRec(std::int32_t x, std::int32_t y, std::int32_t w) {
    SelectSection(kLines);
    char* Out = StartRecord();
    if (CurTextSize > 0) {
        std::memcpy(Out, CurText, 2 * kMaxDecimal);  // fixed size: one move
        Out += CurTextSize;
    } else {
        Out = PutDecimalPair(Out, CurX, CurY);
    }
    // The end's text goes to the record and to CurText alike: made twice
    // (the optimiser shares the work) rather than read back at once from the
    // record, which would stall until the stores have gone through.
    Out = PutDecimalPair(Out, x, y);
    CurTextSize = static_cast<std::size_t>(PutDecimalPair(CurText, x, y) - CurText);
    EndRecord(PutDecimal(PutDecimal(Out, w), Layer));
    CurX = x;
    CurY = y;
}

void WritePadRec(std::int32_t x, std::int32_t y, std::int32_t p) {
    SelectSection(kPads);
    EndRecord(PutDecimal(PutDecimalPair(StartRecord(), x, y), p));
}

void SelectSection(std::uint8_t k) {
    if (k != CurSection) {
        SwitchSection(k);
    }
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
