#include "FileIO/FileIO.h"
#include "FileIO/FileIOInternal.h"

namespace FileIO {

namespace {

std::uint16_t Pending = 0;  // the last failed operation's code, until read
std::uint16_t IOLatch = 0;  // the first error, until reported or cleared

// Reading the pending result hands it out once.
std::uint16_t TakePending() {
    std::uint16_t Code = Pending;
    Pending = 0;
    return Code;
}

}  // namespace

void SetIOResult(std::uint16_t Code) {
    if (Code != 0) {
        Pending = Code;
    }
}

bool IOError() {
    if (IOLatch == 0) {
        IOLatch = TakePending();
    } else {
        (void)TakePending();
    }
    return IOLatch != 0;
}

void ClearIOError() {
    IOLatch = 0;
    (void)IOError();
    IOLatch = 0;
}

std::string IOErrorText(std::uint16_t Code, std::string_view FileName) {
    switch (Code) {
        case 0:
            return "";
        case 2:
            return "File " + std::string(FileName) + " not found";
        case 3:
            return "Path not found";
        case 4:
            return "Too many open files";
        case 5:
            return "File access denied (Read-only, directory full ?)";
        case 100:
            return "Unexpected end of file";
        case 101:
            return "Disk full";
        case 150:
            return "Disk is write-protected";
        case 151:
            return "Unknown unit";
        case 152:
            return "Drive not ready";
        case 153:
            return "Unknown command";
        case 154:
            return "CRC error in data";
        case 157:
            return "Unknown media type";
        case 158:
            return "Sector not found";
        case 159:
            return "Printer out of paper";
        case 160:
            return "Device write fault";
        case 161:
            return "Device read fault";
        default:
            return "I/O error (Error code " + std::to_string(Code) + ")";
    }
}

std::string IOErrorMessage(std::string_view FileName) {
    std::string Text = IOErrorText(IOLatch, FileName);
    ClearIOError();
    return Text;
}

}  // namespace FileIO
