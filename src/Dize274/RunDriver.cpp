#include <csignal>

#include "Dize274/ConfigReader.h"
#include "Dize274/Console.h"
#include "Dize274/Dize274.h"
#include "Dize274/GerberReader.h"
#include "Dize274/RunFiles.h"
#include "Dize274/Settings.h"
#include "FileIO/FileIO.h"
#include "Parser/Parser.h"
#include "Version.h"

namespace Dize274 {

namespace {

constexpr std::string_view kUsage =
    "Usage:   Lumarind <Gerber file> [<PCB file> [<configuration>]]";

void ShowBanner() {
    WriteLine("");
    WriteLine("VELMORA 4.0  -  An Interactive PCB Design System");
    WriteLine("~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~");
    WriteLine("VM xx400 ......... Program Lumarind, Version " LUMARIND_VERSION);
    WriteLine("A Gerber format conversion program");
    WriteLine("Free software, provided as is, without warranty of any kind.");
    WriteLine("");
}

// Sets the three names from the arguments, or ends the run with the usage line.
void ProcessCommandLine(const std::vector<std::string>& Args) {
    std::size_t N = Args.size();
    if (N < 1 || N > 3) {
        WriteLine(kUsage);
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

void ShowHelp() {
    ShowBanner();
    WriteLine(kUsage);
    WriteLine("");
    WriteLine("  <Gerber file>    the Gerber file to convert");
    WriteLine("  <PCB file>       the layout file to write (default: <Gerber file> with .PCB)");
    WriteLine("  <configuration>  the settings (default: Lumarind.Cfg if present, else built-in)");
    WriteLine("");
    WriteLine("lumarind-cfg writes the configuration from a Gerber file's own apertures,");
    WriteLine("lumarind-svg draws the PCB file.");
    WriteLine("Everything else: man Lumarind");
}

}  // namespace

int RunConversion(const std::vector<std::string>& Args) {
    // Asked for alone, these two are requests, not file names.
    if (Args.size() == 1 && Args[0] == "--version") {
        WriteLine("Lumarind " LUMARIND_VERSION);
        return 0;
    }
    if (Args.size() == 1 && Args[0] == "--help") {
        ShowHelp();
        return 0;
    }

    // A closed pipe or a file-size limit must end the run with its report, not
    // kill the process halfway.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    // The converter's inputs end the run on the first failed file operation.
    Parser::SetIOCheck(CheckIO);
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
