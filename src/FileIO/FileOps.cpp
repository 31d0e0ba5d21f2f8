#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "FileIO/FileIO.h"

namespace FileIO {

int OpenRead(const std::string& Name) {
    int Fd = ::open(Name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (Fd < 0) {
        SetIOResult(CodeForErrno(errno, Access::Read, Name));
        return -1;
    }
    struct stat St;
    if (::fstat(Fd, &St) == 0 && S_ISDIR(St.st_mode)) {
        // Linux opens a directory for reading; a text file it is not.
        ::close(Fd);
        SetIOResult(CodeForErrno(EISDIR, Access::Read, Name));
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
            SetIOResult(CodeForErrno(errno, Access::Read, Name));
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
            SetIOResult(CodeForErrno(errno, Access::Write, Name));
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

}  // namespace FileIO
