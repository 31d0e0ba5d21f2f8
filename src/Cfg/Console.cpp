#include <cstdio>
#include <cstdlib>
#include <string>

#include "Cfg/Cfg.h"
#include "FileIO/FileIO.h"

namespace Cfg {

// Everything goes to standard output, errors too, as the converter's do; the
// lines end in LF alone: this program writes for a Linux terminal and for
// scripts, not for the design system.

void WriteOut(std::string_view Text) {
    if (std::fwrite(Text.data(), 1, Text.size(), stdout) != Text.size() ||
        std::fputc('\n', stdout) == EOF || std::fflush(stdout) != 0) {
        EndRun(1);  // nowhere left to say why
    }
}

void CheckConsole() {
    if (FileIO::ConsoleGone()) {
        EndRun(1);
    }
}

void Fail(std::int32_t Line, std::string_view Message) {
    std::string Text = Line > 0 ? "Line " + std::to_string(Line) + " - ERROR: " : "ERROR: ";
    WriteOut(Text + std::string(Message));
    EndRun(1);
}

void FailIO(const std::string& Name) {
    (void)FileIO::IOError();
    Fail(0, FileIO::IOErrorMessage(Name));
}

void EndRun(int Code) {
    FileIO::AbandonReplacing();
    std::exit(Code);
}

}  // namespace Cfg
