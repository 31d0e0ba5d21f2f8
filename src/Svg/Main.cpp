#include <csignal>

#include "FileIO/FileIO.h"
#include "Svg/Svg.h"

namespace Svg {

namespace {

constexpr std::string_view kUsage = "Usage: lumarind-svg <PCB file> [<SVG file>]";

std::string PcbName;
std::string SvgName;

void ShowHelp() {
    WriteOut(kUsage);
    WriteOut("Draws a PCB layout file, as Lumarind writes it, as an SVG picture.");
    WriteOut("  <PCB file>  the layout file to draw, used exactly as given");
    WriteOut("  <SVG file>  the picture to write, .svg added when its name has no dot;");
    WriteOut("              default: the PCB file's name with its extension replaced by .svg");
    WriteOut("The manual: man lumarind-svg");
}

[[noreturn]] void FailIO(const std::string& Name) {
    (void)FileIO::IOError();
    Fail(Name + ": " + FileIO::IOErrorMessage(Name));
}

void Check(ReadStatus s) {
    if (s == ReadStatus::kBadFile) {
        Fail(PcbError());
    }
    if (s == ReadStatus::kIOFailed) {
        FailIO(PcbName);
    }
}

// Sets the two names from the arguments, or ends the run with the usage line.
void ProcessCommandLine(const std::vector<std::string>& Args) {
    if (Args.empty() || Args.size() > 2) {
        WriteErr(kUsage);
        EndRun(2);
    }
    PcbName = Args[0];
    if (Args.size() == 2) {
        SvgName = Args[1];
        FileIO::DefaultExt(SvgName, ".svg");
    } else {
        SvgName = FileIO::ChangeExt(PcbName, ".svg");
    }
}

// The first pass: the whole file checked, its records counted and bounded.
Summary Survey() {
    Check(OpenPcb(PcbName));
    Summary S;
    Record R;
    ReadStatus s = ReadStatus::kOk;
    while ((s = NextRecord(R)) == ReadStatus::kOk) {
        Tally(S, R);
    }
    if (s != ReadStatus::kEnd) {
        Check(s);
    }
    return S;
}

// The second pass: the records drawn inside the frame the first one found.
void Draw(const Summary& First) {
    Check(RewindPcb());
    if (!OpenSvg(SvgName, PcbName, First)) {
        FailIO(SvgName);
    }
    Summary Again;
    Record R;
    ReadStatus s = ReadStatus::kOk;
    while ((s = NextRecord(R)) == ReadStatus::kOk) {
        Tally(Again, R);
        if (!DrawRecord(R)) {
            FailIO(SvgName);
        }
    }
    if (s != ReadStatus::kEnd) {
        Check(s);
    }
    if (!(Again == First)) {
        Fail(PcbName + ": changed while it was being read");
    }
    Check(ClosePcb());
    if (!CloseSvg()) {
        FailIO(SvgName);
    }
}

}  // namespace

int RunSvg(const std::vector<std::string>& Args) {
    // A closed pipe or a file-size limit must end the run with its report, not
    // kill the process halfway.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    if (Args.size() == 1 && Args[0] == "--help") {
        ShowHelp();
        return 0;
    }
    if (Args.size() == 1 && Args[0] == "--version") {
        WriteOut("lumarind-svg 4.0");
        return 0;
    }
    ProcessCommandLine(Args);
    Summary S = Survey();
    Draw(S);
    WriteOut("Wrote " + SvgName + " (lines: " + std::to_string(S.Lines) +
             ", pads: " + std::to_string(S.Pads) + ").");
    return 0;
}

}  // namespace Svg

int main(int argc, char** argv) {
    std::vector<std::string> Args;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '\0') {  // an empty argument does not count
            Args.emplace_back(argv[i]);
        }
    }
    return Svg::RunSvg(Args);
}
