#include "Dize274/Console.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "Dize274/Dize274.h"
#include "Dize274/PcbWriter.h"
#include "FileIO/FileIO.h"
#include "Parser/Parser.h"

namespace Dize274 {

namespace {

// Waits until a non-blocking console takes more; false if it never will.
bool AwaitConsole() {
    pollfd Out{};
    Out.fd = STDOUT_FILENO;
    Out.events = POLLOUT;
    return ::poll(&Out, 1, -1) >= 0 || errno == EINTR;
}

// Every message goes to standard output. A console that cannot take it ends
// the run at once and quietly: there is nowhere left to say why. A full one
// is not broken: a pipe whose other holder made it non-blocking fills while
// its reader is slow.
void WriteConsole(std::string_view Bytes) {
    while (!Bytes.empty()) {
        ssize_t n = ::write(STDOUT_FILENO, Bytes.data(), Bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && AwaitConsole()) {
            continue;
        }
        if (n <= 0) {
            EndRun(1);
        }
        Bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

constexpr std::string_view kWarning = "WARNING: ";

std::string LinePrefix() {
    return "Line " + IntToText(Parser::LineNo);
}

}  // namespace

void WriteLine(std::string_view Text) {
    std::string Line;
    Line.reserve(Text.size() + 2);
    Line.append(Text);
    Line.append("\r\n");
    WriteConsole(Line);
}

void CheckConsole() {
    // Lines are written as they come, so nothing waits for a flush.
    if (FileIO::ConsoleGone()) {
        EndRun(1);
    }
}

void EndRun(int Code) {
    AbandonPcb();
    Halt(Code);
}

void Warning(std::string_view Msg) {
    WriteLine(LinePrefix() + " - " + std::string(kWarning) + std::string(Msg));
}

void ReportWarning(std::string_view Msg) {
    WriteLine(std::string(kWarning) + std::string(Msg));
}

void Error(std::string_view Msg) {
    WriteConsole(LinePrefix() + " - ERROR: ");
    Fatal(Msg);
}

void Fatal(std::string_view Msg) {
    WriteLine(Msg);
    WriteLine("Fatal error - program halted.");
    EndRun(1);
}

void CheckIO(std::string_view FileName) {
    if (FileIO::IOError()) {
        Fatal(FileIO::IOErrorMessage(FileName));
    }
}

std::string IntToText(std::int64_t N) {
    char Digits[24];
    auto [End, Ec] = std::to_chars(Digits, Digits + sizeof Digits, N);
    (void)Ec;  // 24 characters hold every 64-bit value
    return std::string(Digits, End);
}

}  // namespace Dize274
