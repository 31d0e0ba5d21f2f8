#include "FileIO/FileIO.h"
#include "FileIO/FileIOInternal.h"

namespace FileIO {

namespace {

// "/" separates directories on this system; "\" and ":" are kept for names
// written the DOS way.
bool IsSeparator(char c) {
    return c == '/' || c == '\\' || c == ':';
}

}  // namespace

PathParts SplitPath(std::string_view Name) {
    std::size_t Cut = 0;
    for (std::size_t i = 0; i < Name.size(); ++i) {
        if (IsSeparator(Name[i])) {
            Cut = i + 1;
        }
    }
    return {std::string(Name.substr(0, Cut)), std::string(Name.substr(Cut))};
}

void DefaultExt(std::string& Name, std::string_view Ext) {
    if (SplitPath(Name).File.find('.') == std::string::npos) {
        Name += Ext;
    }
}

std::string ChangeExt(std::string_view Source, std::string_view Ext) {
    PathParts Parts = SplitPath(Source);
    std::size_t Dot = Parts.File.find('.');
    if (Dot != std::string::npos) {
        Parts.File.resize(Dot);
    }
    return Parts.Dir + Parts.File + std::string(Ext);
}

}  // namespace FileIO
