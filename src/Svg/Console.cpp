#include <cstdio>
#include <cstdlib>
#include <string>

#include "FileIO/FileIO.h"
#include "Svg/Svg.h"

namespace Svg {

// This program's console lines end in LF alone: it writes for a Linux terminal
// and for scripts, not for the design system.

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

void WriteErr(std::string_view Text) {
    std::string Line(Text);
    Line += '\n';
    (void)std::fwrite(Line.data(), 1, Line.size(), stderr);
}

void Fail(std::string_view Text) {
    WriteErr("lumarind-svg: " + std::string(Text));
    EndRun(1);
}

void EndRun(int Code) {
    AbandonSvg();
    std::exit(Code);
}

}  // namespace Svg
