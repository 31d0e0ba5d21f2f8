// What the three fuzz targets share: the halt signal, a scratch directory,
// a quiet but real console, and the checks that turn a wrong result into a
// crash libFuzzer reports.
#ifndef LUMARIND_FUZZ_FUZZSUPPORT_H
#define LUMARIND_FUZZ_FUZZSUPPORT_H

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Dize274/Console.h"
#include "Dize274/Dize274.h"
#include "Dize274/Settings.h"
#include "FileIO/FileIOInternal.h"
#include "Parser/Parser.h"
#include "Parser/ParserInternal.h"

namespace FuzzSupport {

/// The converter's phases run here without RunConversion, which sets this.
inline const bool kConverterIOChecks = (Parser::SetIOCheck(Dize274::CheckIO), true);

/// Thrown by the fuzz build's Dize274::Halt; carries the exit code.
struct HaltSignal {
    int Code;
};

/// Aborts with a message when Cond is false: libFuzzer saves the input.
#define FUZZ_CHECK(Cond)                                                                  \
    do {                                                                                  \
        if (!(Cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #Cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

/// The console goes to /dev/null: still a real write, but the fuzzer's log on
/// stderr stays readable.
inline void QuietConsole() {
    int Null = ::open("/dev/null", O_WRONLY);
    FUZZ_CHECK(Null >= 0);
    FUZZ_CHECK(::dup2(Null, STDOUT_FILENO) == STDOUT_FILENO);
    ::close(Null);
}

inline std::string ScratchRoot;

inline void RemoveScratch() {
    if (ScratchRoot.empty()) {
        return;
    }
    if (DIR* Dir = ::opendir(ScratchRoot.c_str())) {
        while (dirent* Entry = ::readdir(Dir)) {
            std::string Name = Entry->d_name;
            if (Name != "." && Name != "..") {
                ::unlink((ScratchRoot + "/").append(Name).c_str());
            }
        }
        ::closedir(Dir);
    }
    ::rmdir(ScratchRoot.c_str());
}

/// A fresh directory of our own (parallel jobs never share one), removed at exit.
inline const std::string& MakeScratchDir() {
    const char* Tmp = std::getenv("TMPDIR");
    std::string Pattern(Tmp != nullptr && *Tmp != '\0' ? Tmp : "/tmp");
    Pattern += "/lumarind-fuzz.XXXXXX";
    FUZZ_CHECK(::mkdtemp(Pattern.data()) != nullptr);
    ScratchRoot = Pattern;
    std::atexit(RemoveScratch);
    return ScratchRoot;
}

/// A new file in the scratch directory with a mkstemp name.
inline std::string MakeScratchFile(const char* Stem) {
    std::string Name = ScratchRoot + "/" + Stem + ".XXXXXX";
    int Fd = ::mkstemp(Name.data());
    FUZZ_CHECK(Fd >= 0);
    ::close(Fd);
    return Name;
}

/// Writes a new file under Name. Never truncates one that holds data: ext4
/// flushes such a file to the disk at its close, which made each run wait.
inline void WriteFile(const std::string& Name, const void* Data, std::size_t Size) {
    ::unlink(Name.c_str());
    int Fd = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    FUZZ_CHECK(Fd >= 0);
    FUZZ_CHECK(FileIO::WriteAll(Fd, Name, static_cast<const char*>(Data), Size));
    ::close(Fd);
}

inline std::string ReadFile(const std::string& Name) {
    std::string Bytes;
    int Fd = ::open(Name.c_str(), O_RDONLY);
    FUZZ_CHECK(Fd >= 0);
    char Chunk[65536];
    for (ssize_t n; (n = ::read(Fd, Chunk, sizeof Chunk)) > 0;) {
        Bytes.append(Chunk, static_cast<std::size_t>(n));
    }
    ::close(Fd);
    return Bytes;
}

/// No input of a few kilobytes reaches the end of the reader's buffer, so
/// inputs also run as a padded twin whose buffer end falls inside the input.
/// Scanning the padding costs about ten runs, so one input in kTwinEvery gets
/// a twin, chosen by its bytes.
inline constexpr std::size_t kReadBuffer = Parser::kReadBufferSize;
inline constexpr std::size_t kTwinEvery = 8;

inline std::size_t InputHash(const std::uint8_t* Data, std::size_t Size) {
    std::size_t Hash = 0;
    for (std::size_t i = 0; i < Size; ++i) {
        Hash = Hash * 31 + Data[i];
    }
    return Hash;
}

inline bool TwinDue(const std::uint8_t* Data, std::size_t Size) {
    return InputHash(Data, Size) / 7 % kTwinEvery == 0;
}

/// Blanks, then the input, so that the reader's buffer ends at a point of the
/// input chosen by its bytes; for every other input, just after a CR or LF,
/// so that CR LF, LF CR and a line end before an ordinary character are split
/// there far more often than chance would. Blanks before the first character
/// change nothing for either reader, except that they make a first line where
/// the input has none (empty, or starting with a Ctrl-Z).
inline std::string PaddedTwin(const std::uint8_t* Data, std::size_t Size) {
    std::size_t Hash = InputHash(Data, Size);
    std::size_t Cut = Hash % (Size + 1);
    if (Hash / 3 % 2 == 0) {
        while (Cut < Size && Data[Cut] != '\r' && Data[Cut] != '\n') {
            ++Cut;
        }
        Cut += Cut < Size ? 1 : 0;
    }
    std::string Bytes(kReadBuffer - Cut, ' ');
    Bytes.append(reinterpret_cast<const char*>(Data), Size);
    return Bytes;
}

/// Whether the twin must count the same lines: see PaddedTwin.
inline bool TwinCountsSameLines(const std::uint8_t* Data, std::size_t Size) {
    return Size > 0 && Data[0] != 0x1a;
}

/// The names in the scratch directory.
inline std::set<std::string> ScratchEntries() {
    std::set<std::string> Names;
    DIR* Dir = ::opendir(ScratchRoot.c_str());
    FUZZ_CHECK(Dir != nullptr);
    while (dirent* Entry = ::readdir(Dir)) {
        std::string Name = Entry->d_name;
        if (Name != "." && Name != "..") {
            Names.insert((ScratchRoot + "/").append(Name));
        }
    }
    ::closedir(Dir);
    return Names;
}

/// The settings as a run without a configuration file starts with.
inline void ResetSettings() {
    Dize274::XMult = Dize274::YMult = Dize274::kDefaultMult;
    Dize274::XDiv = Dize274::YDiv = Dize274::kDefaultDiv;
    Dize274::XOffs = Dize274::YOffs = Dize274::kDefaultOffs;
    Dize274::Layer = Dize274::kDefaultLayer;
    Dize274::InitPatternTable();
    FileIO::ClearIOError();
}

/// Runs Phase; returns the exit code it halted with, or -1 when it returned.
template <typename F>
int RunPhase(F Phase) {
    try {
        Phase();
    } catch (const HaltSignal& Halt) {
        return Halt.Code;
    }
    return -1;
}

/// FileIO installs its own handlers to drop a named temporary file; the
/// harness puts libFuzzer's back after every run, so Ctrl-C still ends the
/// fuzzer with its report.
inline constexpr int kWriterSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
inline struct sigaction FuzzerHandlers[std::size(kWriterSignals)];
inline bool HandlersSaved = false;

inline void SaveFuzzerHandlers() {
    if (!HandlersSaved) {
        for (std::size_t i = 0; i < std::size(kWriterSignals); ++i) {
            ::sigaction(kWriterSignals[i], nullptr, &FuzzerHandlers[i]);
        }
        HandlersSaved = true;
    }
}

inline void RestoreFuzzerHandlers() {
    for (std::size_t i = 0; i < std::size(kWriterSignals); ++i) {
        ::sigaction(kWriterSignals[i], &FuzzerHandlers[i], nullptr);
    }
}

// A decimal as the writer must put it: "-" only before a non-zero value, no
// leading zeros, within 32 bits.
inline bool ParseDecimal(std::string_view Text, std::int64_t& Value) {
    bool Negative = !Text.empty() && Text.front() == '-';
    std::string_view Digits = Negative ? Text.substr(1) : Text;
    if (Digits.empty() || Digits.size() > 10 || (Digits.size() > 1 && Digits.front() == '0')) {
        return false;
    }
    Value = 0;
    for (char c : Digits) {
        if (c < '0' || c > '9') {
            return false;
        }
        Value = Value * 10 + (c - '0');
    }
    if (Negative) {
        Value = -Value;
    }
    return !(Negative && Value == 0) && Value >= INT32_MIN && Value <= INT32_MAX;
}

// The numbers of a record line "    (a b c)"; false when it is not one.
inline bool ParseRecord(std::string_view Line, std::vector<std::int64_t>& Numbers) {
    Numbers.clear();
    if (Line.size() < 7 || Line.substr(0, 5) != "    (" || Line.back() != ')') {
        return false;
    }
    std::string_view Rest = Line.substr(5, Line.size() - 6);
    for (;;) {
        std::size_t Blank = Rest.find(' ');
        std::int64_t Value = 0;
        if (!ParseDecimal(Rest.substr(0, Blank), Value)) {
            return false;
        }
        Numbers.push_back(Value);
        if (Blank == std::string_view::npos) {
            return true;
        }
        Rest.remove_prefix(Blank + 1);
    }
}

/// Checks a whole PCB file: the header, sections of one or more records that
/// alternate in kind, the closing line, CR LF after every line and nowhere else.
inline void CheckPcbLayout(const std::string& Bytes, std::int32_t Layer) {
    std::vector<std::string_view> Lines;
    std::string_view Rest = Bytes;
    while (!Rest.empty()) {
        std::size_t End = Rest.find("\r\n");
        FUZZ_CHECK(End != std::string_view::npos);
        std::string_view Line = Rest.substr(0, End);
        FUZZ_CHECK(Line.find_first_of("\r\n") == std::string_view::npos);
        Lines.push_back(Line);
        Rest.remove_prefix(End + 2);
    }
    FUZZ_CHECK(Lines.size() >= 4);
    FUZZ_CHECK(Lines[0] == "{ Converted from a Gerber file by Lumarind ver. 4.0 }");
    FUZZ_CHECK(Lines[1].empty());
    FUZZ_CHECK(Lines[2] == "Layout (");
    FUZZ_CHECK(Lines.back() == ")");
    std::string_view Previous;
    std::vector<std::int64_t> Numbers;
    for (std::size_t i = 3; i + 1 < Lines.size();) {
        std::string_view Header = Lines[i++];
        FUZZ_CHECK(Header == "  Lines (" || Header == "  Pads (");
        FUZZ_CHECK(Header != Previous);
        Previous = Header;
        bool IsLines = Header == "  Lines (";
        std::size_t Records = 0;
        for (; i + 1 < Lines.size() && Lines[i] != "  )"; ++i, ++Records) {
            FUZZ_CHECK(ParseRecord(Lines[i], Numbers));
            if (IsLines) {
                FUZZ_CHECK(Numbers.size() == 6);
                FUZZ_CHECK(Numbers[4] >= 0 && Numbers[4] <= Dize274::kMaxWidth);
                FUZZ_CHECK(Numbers[5] == Layer);
            } else {
                FUZZ_CHECK(Numbers.size() == 3);
                FUZZ_CHECK(Numbers[2] >= 0 && Numbers[2] <= Dize274::kMaxPattern);
            }
        }
        FUZZ_CHECK(Records > 0);
        FUZZ_CHECK(i + 1 < Lines.size());  // the section's "  )"
        ++i;
    }
}

/// After a run the scratch directory holds the inputs, plus the PCB file when
/// the run completed: never a temporary file, never a partial PCB file.
inline void CheckLeftovers(std::initializer_list<std::string> Inputs, const std::string& Pcb,
                           bool Completed) {
    std::set<std::string> Expected(Inputs);
    if (Completed) {
        Expected.insert(Pcb);
    }
    FUZZ_CHECK(ScratchEntries() == Expected);
}

}  // namespace FuzzSupport

#endif  // LUMARIND_FUZZ_FUZZSUPPORT_H
