// The speed of light for the benchmark: read the file with read(2) in 1 MiB
// pieces and count its line ends (CR bytes, or LF bytes with --lf) with
// memchr, the least any converter of it must do. Prints the count so that the
// work cannot be optimised away.
//
//   Baseline <file> [--lf]
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kPiece = 1 << 20;
char Piece[kPiece];

}  // namespace

int main(int argc, char** argv) {
    bool Lf = argc == 3 && std::strcmp(argv[2], "--lf") == 0;
    if (argc != 2 && !Lf) {
        std::fputs("usage: Baseline <file> [--lf]\n", stderr);
        return 2;
    }
    const char LineEnd = Lf ? '\n' : '\r';
    int Fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (Fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    unsigned long long Count = 0;
    for (;;) {
        ssize_t n = ::read(Fd, Piece, kPiece);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            std::perror(argv[1]);
            return 1;
        }
        if (n == 0) {
            break;
        }
        const char* p = Piece;
        const char* End = Piece + n;
        while ((p = static_cast<const char*>(
                    std::memchr(p, LineEnd, static_cast<std::size_t>(End - p)))) != nullptr) {
            ++Count;
            ++p;
        }
    }
    ::close(Fd);
    std::printf("%llu\n", Count);
    return 0;
}
