#include <charconv>

#include "Cfg/Cfg.h"
#include "Dize274/Dize274.h"
#include "FileIO/FileIO.h"

namespace Cfg {

namespace {

constexpr std::string_view kUsage =
    "Usage:   lumarind-cfg [--sheet FILE] [--layer N] [--fill-width C | --no-fill]\n"
    "                      <Gerber file> [<configuration>]\n"
    "         lumarind-cfg --propose SHEET <Gerber file>...";

// A whole argument of digits within [Min, Max].
bool ReadBounded(const std::string& Text, std::int32_t Min, std::int32_t Max, std::int32_t& v) {
    const char* End = Text.data() + Text.size();
    auto [p, Ec] = std::from_chars(Text.data(), End, v);
    return Ec == std::errc() && p == End && v >= Min && v <= Max;
}

Request Wrong(std::string& Why, std::string Text) {
    Why = std::move(Text);
    return Request::kWrong;
}

Request ReadPropose(const std::vector<std::string>& Args, Options& O, std::string& Why) {
    if (Args.size() < 3) {
        return Wrong(Why, "--propose needs the sheet to write and at least one Gerber file.");
    }
    O.CfgName = Args[1];
    for (std::size_t i = 2; i < Args.size(); ++i) {
        if (Args[i].starts_with("--")) {
            return Wrong(Why, "Unknown option " + Args[i] + ".");
        }
        O.GerberNames.push_back(Args[i]);
    }
    return Request::kPropose;
}

}  // namespace

std::string_view Usage() {
    return kUsage;
}

Request ReadCommandLine(const std::vector<std::string>& Args, Options& O, std::string& Why) {
    // Asked for alone, these two are requests, not file names.
    if (Args.size() == 1 && Args[0] == "--help") {
        return Request::kHelp;
    }
    if (Args.size() == 1 && Args[0] == "--version") {
        return Request::kVersion;
    }
    O.Layer = Dize274::kDefaultLayer;
    if (!Args.empty() && Args[0] == "--propose") {
        return ReadPropose(Args, O, Why);
    }
    std::vector<std::string> Names;
    bool LayerGiven = false;
    bool NoFillGiven = false;
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& a = Args[i];
        if (a == "--no-fill") {
            if (NoFillGiven) {
                return Wrong(Why, a + " given twice.");
            }
            NoFillGiven = true;
            O.Fill = false;
        } else if (a == "--sheet" || a == "--layer" || a == "--fill-width") {
            if (i + 1 == Args.size()) {
                return Wrong(Why, a + " needs a value.");
            }
            bool Given = a == "--sheet"   ? !O.SheetName.empty()
                         : a == "--layer" ? LayerGiven
                                          : O.FillWidth >= 0;
            if (Given) {
                return Wrong(Why, a + " given twice.");
            }
            const std::string& v = Args[++i];
            if (a == "--sheet") {
                O.SheetName = v;
            } else if (a == "--layer" && !ReadBounded(v, 0, Dize274::kMaxLayer, O.Layer)) {
                return Wrong(Why, "The layer must be a number from 0 to " +
                                      std::to_string(Dize274::kMaxLayer) + ".");
            } else if (a == "--fill-width" && !ReadBounded(v, 0, Dize274::kMaxWidth, O.FillWidth)) {
                return Wrong(Why, "The fill's width code must be a number from 0 to " +
                                      std::to_string(Dize274::kMaxWidth) + ".");
            }
            LayerGiven = LayerGiven || a == "--layer";
        } else if (a.starts_with("--")) {
            return Wrong(Why, "Unknown option " + a + ".");
        } else {
            Names.push_back(a);
        }
    }
    if (NoFillGiven && O.FillWidth >= 0) {
        return Wrong(Why, "--fill-width and --no-fill exclude each other.");
    }
    if (Names.empty() || Names.size() > 2) {
        return Wrong(Why, Names.empty() ? "No Gerber file given." : "Too many file names.");
    }
    O.GerberNames = {Names[0]};
    if (Names.size() == 2) {
        O.CfgName = Names[1];
        FileIO::DefaultExt(O.CfgName, ".Cfg");
    } else {
        O.CfgName = FileIO::ChangeExt(Names[0], ".Cfg");
    }
    return Request::kConvert;
}

}  // namespace Cfg
