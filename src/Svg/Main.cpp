#include <csignal>

#include "FileIO/FileIO.h"
#include "Sheet/Sheet.h"
#include "Svg/Svg.h"

namespace Svg {

namespace {

constexpr std::string_view kUsage =
    "Usage: lumarind-svg [--sheet <code sheet>] <PCB file> [<SVG file>]";

std::string PcbName;
std::string SvgName;
std::string SheetFile;  // empty: the nominal sizes

// Laid out as Lumarind's, without its banner.
void ShowHelp() {
    WriteOut(kUsage);
    WriteOut("Draws a PCB file, as Lumarind writes it, as an SVG picture.");
    WriteOut("");
    WriteOut("  --sheet <code sheet>  draw each code at the size and shape the sheet gives it");
    WriteOut("                        (default: nominal sizes that only tell the codes apart)");
    WriteOut("  <PCB file>            the PCB file to draw");
    WriteOut("  <SVG file>            the picture to write (default: <PCB file> with .svg)");
    WriteOut("");
    WriteOut("Lumarind converts a Gerber file into a PCB file; lumarind-cfg writes its");
    WriteOut("configuration, and a code sheet, from the Gerber file's own apertures.");
    WriteOut("Everything else: man lumarind-svg");
}

[[noreturn]] void FailIO(const std::string& Name) {
    (void)FileIO::IOError();
    Fail(Name + ": " + FileIO::IOErrorMessage(Name));
}

void Check(ReadStatus s) {
    if (s == ReadStatus::kBadFile) {
        Fail(LayoutError());
    }
    if (s == ReadStatus::kIOFailed) {
        FailIO(PcbName);
    }
}

// Sets the two names from the arguments, or ends the run with the usage line.
void ProcessCommandLine(std::vector<std::string> Args) {
    if (!Args.empty() && Args[0] == "--sheet") {
        if (Args.size() < 3) {
            WriteErr(kUsage);
            EndRun(2);
        }
        SheetFile = Args[1];
        Args.erase(Args.begin(), Args.begin() + 2);
    }
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

// The sheet's sizes for the drawing, before the PCB file is read: the
// bounds depend on them.
void ReadSheet() {
    Sheet::CodeSheet S;
    std::int32_t Line = 0;
    std::string Message;
    switch (Sheet::ReadSheet(SheetFile, S, Line, Message)) {
        case Sheet::Status::kOk:
            UseSheet(S, SheetFile);
            return;
        case Sheet::Status::kBadSheet:
            Fail(SheetFile + ":" + std::to_string(Line) + ": " + Message);
        case Sheet::Status::kIOFailed:
            FailIO(SheetFile);
    }
}

// The first pass: the whole file checked, its records counted and bounded.
Summary Survey() {
    Check(OpenLayout(PcbName));
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
    Check(RewindLayout());
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
    Check(CloseLayout());
    CheckConsole();  // a run that cannot report its end leaves the old picture
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
    // Before any file is opened: a closed standard output's descriptor would
    // go to the first file.
    CheckConsole();

    if (Args.size() == 1 && Args[0] == "--help") {
        ShowHelp();
        return 0;
    }
    if (Args.size() == 1 && Args[0] == "--version") {
        WriteOut(kNameAndVersion);
        return 0;
    }
    ProcessCommandLine(Args);
    if (!SheetFile.empty()) {
        ReadSheet();
    }
    Summary S = Survey();
    if (std::string Unlisted = UnlistedCodes(S); !Unlisted.empty()) {
        WriteErr("lumarind-svg: warning: not on the sheet " + SheetFile +
                 ", drawn at nominal sizes: " + Unlisted);
    }
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
