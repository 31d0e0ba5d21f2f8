#include <csignal>

#include "Cfg/Cfg.h"
#include "Dize274/Dize274.h"
#include "FileIO/FileIO.h"

namespace Cfg {

namespace {

constexpr double kTooFar = 0.25;  // what the console names as a size the sheet lacks

void ShowHelp() {
    WriteOut(Usage());
    WriteOut("Writes the configuration with which Lumarind converts a Gerber file: its");
    WriteOut("transform, and each aperture mapped to the nearest codes of a code sheet.");
    WriteOut("With --propose, writes the code sheet that a board's layers need.");
    WriteOut("");
    WriteOut("  --sheet FILE      the code sheet (default: the typical sheet, built in)");
    WriteOut("  --layer N         the layer of every line, 0 to 15 (default: 10)");
    WriteOut("  --fill-width C    fill regions with lines of width code C (0 to " +
             std::to_string(Dize274::kMaxWidth) + ", listed");
    WriteOut("                    in the sheet; default: the width nearest " +
             std::to_string(kFillLine) + ")");
    WriteOut("  --no-fill         no fill entry: Lumarind writes regions as their outlines");
    WriteOut("  <Gerber file>     the Gerber file to read");
    WriteOut("  <configuration>   the configuration to write (default: <Gerber file> with .Cfg)");
    WriteOut("  --propose SHEET   the code sheet to write for the Gerber files given");
    WriteOut("");
    WriteOut("Then: Lumarind <Gerber file> <PCB file> <configuration> converts the layer,");
    WriteOut("lumarind-svg --sheet FILE <PCB file> draws it.");
    WriteOut("Everything else: man lumarind-cfg");
}

std::string SheetShown(const Options& O) {
    return O.SheetName.empty() ? std::string(Sheet::TypicalSheetName()) : O.SheetName;
}

Sheet::CodeSheet LoadSheet(const Options& O) {
    Sheet::CodeSheet S;
    std::int32_t Line = 0;
    std::string Message;
    Sheet::Status s = Sheet::Status::kOk;
    if (O.SheetName.empty()) {
        s = Sheet::ReadTypicalSheet(S, Line, Message);
    } else {
        WriteOut("Reading code sheet " + O.SheetName + " . . .");
        s = Sheet::ReadSheet(O.SheetName, S, Line, Message);
    }
    if (s == Sheet::Status::kBadSheet) {
        Fail(Line, Message);
    }
    if (s == Sheet::Status::kIOFailed) {
        FailIO(O.SheetName);
    }
    return S;
}

// The fill entry's width code; -1: none.
int FillCode(const Options& O, const Sheet::CodeSheet& S) {
    if (!O.Fill) {
        return -1;
    }
    if (O.FillWidth >= 0) {
        if (S.Width[O.FillWidth] == 0) {
            Fail(0, "Width code " + std::to_string(O.FillWidth) +
                        " is not in the code sheet: --fill-width names a listed one.");
        }
        return O.FillWidth;
    }
    int c = Sheet::NearestWidth(S, kFillLine);
    if (c < 0) {
        WriteOut(
            "NOTE: The code sheet lists no width: no fill entry is written, and Lumarind "
            "writes regions as their outlines.");
    }
    return c;
}

FileFacts Scan(const std::string& Name) {
    WriteOut("Reading Gerber file " + Name + " . . .");
    FileFacts F;
    std::int32_t Line = 0;
    std::string Message;
    ScanStatus s = ScanGerber(Name, F, Line, Message);
    if (s == ScanStatus::kBadFile) {
        Fail(Line, Message);
    }
    if (s == ScanStatus::kIOFailed) {
        FailIO(Name);
    }
    std::int32_t m = 0;
    std::int32_t d = 0;
    if (!TransformOf(F, m, d, m, d)) {
        WriteOut(F.Units == Gerber::Unit::Unknown
                     ? "NOTE: The file gives no unit: the built-in transform is written, and sizes "
                       "are taken as millimetres."
                     : "NOTE: The file gives no coordinate format: the built-in transform is "
                       "written.");
    }
    for (std::int32_t Code : F.OutOfRange) {
        WriteOut("NOTE: D" + std::to_string(Code) + " is left out: a configuration holds D" +
                 std::to_string(Dize274::kFirstAperture) + " to D" +
                 std::to_string(Dize274::kLastAperture) + ".");
    }
    return F;
}

// The file goes to the disk whole, or not at all.
void WriteWhole(const std::string& Name, const std::string& Text, const std::string& Input,
                const std::string& Other) {
    FileIO::OpenReplacing(Name, Input, Other);
    if (FileIO::IOError()) {
        FailIO(Name);
    }
    FileIO::WriteReplacing(Text.data(), Text.size());
    if (FileIO::IOError()) {
        FailIO(Name);
    }
    CheckConsole();  // a run that cannot report its end leaves the old file
    FileIO::CommitReplacing();
    if (FileIO::IOError()) {
        FailIO(Name);
    }
}

// The entries whose chosen code is far from what the file uses it for.
void ReportFar(const FileFacts& F, const Sheet::CodeSheet& S) {
    bool Any = false;
    for (const Defined& D : F.Apertures) {
        Choice c = Choose(D, F.Units, S);
        std::string Far;
        if (D.Drawn && (c.Width < 0 || c.WidthOff > kTooFar)) {
            Far = WidthChoiceText(c, S);
        }
        if (D.Flashed && (c.Pattern < 0 || c.PatternOff > kTooFar)) {
            Far += (Far.empty() ? "" : "; ") + PatternChoiceText(c, S);
        }
        if (!Far.empty()) {
            if (!Any) {
                WriteOut("Off by more than 25 %:");
                Any = true;
            }
            WriteOut("  D" + std::to_string(D.A.DCode) + " " + Describe(D, F.Units) + ": " + Far);
        }
    }
}

void Convert(const Options& O) {
    const std::string& Gerber = O.GerberNames[0];
    WriteOut("Gerber file:   " + Gerber);
    WriteOut("Code sheet:    " + SheetShown(O));
    WriteOut("Configuration: " + O.CfgName);
    WriteOut("");
    Sheet::CodeSheet S = LoadSheet(O);
    int Fill = FillCode(O, S);
    FileFacts F = Scan(Gerber);
    std::size_t Again = 0;
    for (const Defined& D : F.Apertures) {
        Again += D.Replaced != 0 ? 1 : 0;
    }
    WriteOut("Apertures: " + std::to_string(F.Apertures.size()) +
             (Again > 0 ? " (" + std::to_string(Again) + " defined again)" : ""));
    ReportFar(F, S);
    // Under a fill entry Lumarind holds every dark object for the clear ones
    // that may follow; a layer without regions would pay that for nothing.
    if (!F.Regions) {
        Fill = -1;
    }
    WriteWhole(O.CfgName, ConfigText(Gerber, F, S, SheetShown(O), O.Layer, Fill), Gerber,
               O.SheetName);
    WriteOut("Wrote " + O.CfgName + ".");
}

void Propose(const Options& O) {
    WriteOut("Code sheet:    " + O.CfgName);
    WriteOut("");
    std::vector<LayerFacts> Layers;
    for (const std::string& Name : O.GerberNames) {
        Layers.push_back({Name, Scan(Name)});
    }
    double WorstWidth = 0;
    double WorstPad = 0;
    int Widths = 0;
    int Patterns = 0;
    std::string Text = ProposeText(Layers, WorstWidth, WorstPad, Widths, Patterns);
    WriteOut("Widths: " + std::to_string(Widths) + ", at most " + Percent(WorstWidth) +
             " off a stroke.");
    WriteOut("Patterns: " + std::to_string(Patterns) + ", at most " + Percent(WorstPad) +
             " off a pad.");
    WriteWhole(O.CfgName, Text, O.GerberNames[0], {});
    WriteOut("Wrote " + O.CfgName + ".");
}

}  // namespace

int RunCfg(const std::vector<std::string>& Args) {
    // A closed pipe or a file-size limit must end the run with its report, not
    // kill the process halfway.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    // Before any file is opened: a closed standard output's descriptor would
    // go to the first file.
    CheckConsole();

    Options O;
    std::string Why;
    switch (ReadCommandLine(Args, O, Why)) {
        case Request::kHelp:
            ShowHelp();
            break;
        case Request::kVersion:
            WriteOut(kNameAndVersion);
            break;
        case Request::kWrong:
            WriteOut(Why);
            WriteOut(Usage());
            EndRun(2);
        case Request::kConvert:
            Convert(O);
            break;
        case Request::kPropose:
            Propose(O);
            break;
    }
    return 0;
}

}  // namespace Cfg

int main(int argc, char** argv) {
    std::vector<std::string> Args;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '\0') {  // an empty argument does not count
            Args.emplace_back(argv[i]);
        }
    }
    return Cfg::RunCfg(Args);
}
