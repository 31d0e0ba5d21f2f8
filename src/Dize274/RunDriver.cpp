#include <csignal>

#include "Dize274/Dize274Internal.h"
#include "FileIO/FileIO.h"

namespace Dize274 {

namespace {

void ShowBanner() {
    WriteLine("");
    WriteLine("VELMORA 4.0  -  An Interactive PCB Design System");
    WriteLine("~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~");
    WriteLine("VM xx400 ......... Program Lumarind, Version 4.0");
    WriteLine("A Gerber format conversion program");
    WriteLine("Free software, provided as is, without warranty of any kind.");
    WriteLine("");
}

// Sets the three names from the arguments, or ends the run with the usage line.
void ProcessCommandLine(const std::vector<std::string>& Args) {
    std::size_t N = Args.size();
    if (N < 1 || N > 3) {
        WriteLine("Usage:   Lumarind <Gerber file> [<PCB file> [<configuration>]]");
        EndRun(2);
    }
    GerberName = Args[0];
    if (N >= 2) {
        PcbName = Args[1];
        FileIO::DefaultExt(PcbName, ".PCB");
    } else {
        PcbName = FileIO::ChangeExt(GerberName, ".PCB");
    }
    if (N == 3) {
        CfgName = Args[2];
        FileIO::DefaultExt(CfgName, ".Cfg");
    } else {
        CfgName = "Lumarind.Cfg";
        if (!FileIO::FileExists(CfgName)) {
            CfgName = kNoConfig;
        }
    }
    WriteLine("Gerber File:        " + GerberName);
    WriteLine("PCB File:           " + PcbName);
    WriteLine("Configuration File: " + CfgName);
    WriteLine("");
}

}  // namespace

int RunConversion(const std::vector<std::string>& Args) {
    // A closed pipe or a file-size limit must end the run with its report, not
    // kill the process halfway.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    ShowBanner();
    ProcessCommandLine(Args);
    InitPatternTable();
    if (CfgName != kNoConfig) {
        ReadConfig();
    }
    ReadGerber();
    WriteLine("Completed successfully.");
    return 0;
}

}  // namespace Dize274
