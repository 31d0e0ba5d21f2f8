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
        case kFileNotFound:
            return "File " + std::string(FileName) + " not found";
        case kPathNotFound:
            return "Path not found";
        case kTooManyOpenFiles:
            return "Too many open files";
        case kAccessDenied:
            return "File access denied (Read-only, directory full ?)";
        case kDeviceWriteFault:
            return "Device write fault";
        case kDeviceReadFault:
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
