#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "FileIO/FileIO.h"
#include "FileIO/FileIOInternal.h"

namespace FileIO {

bool FileExists(const std::string& Name) {
    ClearIOError();
    // Read and write access, as a file that only exists for reading is not ours
    // to use; O_RDWR also refuses a directory. Never O_CREAT.
    int Fd = ::open(Name.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (Fd < 0) {
        SetIOResult(CodeForErrno(errno, Access::kRead, Name));
    }
    if (IOError()) {
        ClearIOError();
        return false;
    }
    ::close(Fd);
    ClearIOError();
    return true;
}

std::uint16_t CodeForErrno(int Errno, Access How, const std::string& Name) {
    switch (Errno) {
        case ENOENT: {
            // "Path not found" when a directory on the way is missing.
            std::string Dir = Name.substr(0, Name.rfind('/') + 1);
            if (Dir.empty()) {
                return kFileNotFound;
            }
            struct stat St;
            return ::stat(Dir.c_str(), &St) == 0 && S_ISDIR(St.st_mode) ? kFileNotFound
                                                                        : kPathNotFound;
        }
        case ENOTDIR:
        case ENAMETOOLONG:
            return kPathNotFound;
        case EMFILE:
        case ENFILE:
            return kTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return kAccessDenied;
        case ETXTBSY:
        case EBUSY:
            return kSharingViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return kDiskFull;
        case EIO:
            return How == Access::kRead ? kDeviceReadFault : kDeviceWriteFault;
        default:
            return static_cast<std::uint16_t>(kErrnoBase + (Errno > 0 ? Errno : 0));
    }
}

int OpenRead(const std::string& Name) {
    int Fd = ::open(Name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (Fd < 0) {
        SetIOResult(CodeForErrno(errno, Access::kRead, Name));
        return -1;
    }
    struct stat St;
    if (::fstat(Fd, &St) == 0 && S_ISDIR(St.st_mode)) {
        // Linux opens a directory for reading; a text file it is not.
        ::close(Fd);
        SetIOResult(CodeForErrno(EISDIR, Access::kRead, Name));
        return -1;
    }
    return Fd;
}

std::size_t ReadSome(int Fd, const std::string& Name, char* Buf, std::size_t Size) {
    for (;;) {
        ssize_t n = ::read(Fd, Buf, Size);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            SetIOResult(CodeForErrno(errno, Access::kRead, Name));
            return 0;
        }
    }
}

bool WriteAll(int Fd, const std::string& Name, const char* Buf, std::size_t Size) {
    while (Size > 0) {
        ssize_t n = ::write(Fd, Buf, Size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetIOResult(CodeForErrno(errno, Access::kWrite, Name));
            return false;
        }
        Buf += n;
        Size -= static_cast<std::size_t>(n);
    }
    return true;
}

void CloseFile(int Fd, const std::string& Name, Access How) {
    if (Fd >= 0 && ::close(Fd) != 0 && errno != EINTR) {
        SetIOResult(CodeForErrno(errno, How, Name));
    }
}

bool ConsoleGone() {
    // A file or a working terminal shows none of these.
    pollfd Out{};
    Out.fd = STDOUT_FILENO;
    Out.events = POLLOUT;
    return ::poll(&Out, 1, 0) > 0 && (Out.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
}

}  // namespace FileIO
