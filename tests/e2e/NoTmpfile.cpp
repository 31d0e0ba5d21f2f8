// Runs a program as if its files were on a file system without unnamed
// temporary files: a seccomp filter, inherited across exec, fails every open
// with O_TMPFILE with EOPNOTSUPP, as such a file system does. With
// --no-modes, fchmod fails too, with ENOSYS, as on FAT through FUSE. With
// --probe it tells instead whether DIR takes an unnamed file at all.
//
//   no_tmpfile [--no-modes] PROGRAM [ARGUMENT...]   exit 125 when the filter cannot be set
//   no_tmpfile --probe DIR                          exit 0 when DIR takes one, 1 when not
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

#if defined(__x86_64__)
constexpr std::uint32_t kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t kArch = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t kArch = 0;  // no filter for this machine: exit 125
#endif

// O_TMPFILE without the O_DIRECTORY it carries. The flags are openat's third
// argument (glibc's open calls openat); the low half is the first on these
// little-endian machines.
constexpr std::uint32_t kTmpfileBit = O_TMPFILE & ~O_DIRECTORY;
constexpr std::uint32_t kFlagsAt = offsetof(seccomp_data, args) + 2 * sizeof(std::uint64_t);

// fchmod is let through unless --no-modes sets its answer to ENOSYS.
constexpr std::size_t kFchmodAnswer = 5;
sock_filter Filter[] = {
    BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
    BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0),
    BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fchmod, 0, 1),
    BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
    BPF_STMT(BPF_LD | BPF_W | BPF_ABS, kFlagsAt),
    BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, kTmpfileBit, 0, 1),
    BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EOPNOTSUPP & SECCOMP_RET_DATA)),
    BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--probe") == 0) {
        int Fd = ::open(argv[2], O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (Fd < 0) {
            return 1;
        }
        ::close(Fd);
        return 0;
    }
    bool NoModesToo = argc >= 2 && std::strcmp(argv[1], "--no-modes") == 0;
    int First = NoModesToo ? 2 : 1;
    if (argc <= First) {
        std::fprintf(stderr, "usage: %s [--no-modes] PROGRAM [ARGUMENT...] | --probe DIR\n",
                     argv[0]);
        return 2;
    }
    if (NoModesToo) {
        Filter[kFchmodAnswer].k = SECCOMP_RET_ERRNO | (ENOSYS & SECCOMP_RET_DATA);
    }
    sock_fprog Program{static_cast<unsigned short>(std::size(Filter)), Filter};
    if (kArch == 0 || ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &Program) != 0) {
        std::fprintf(stderr, "%s: no seccomp filter here\n", argv[0]);
        return 125;
    }
    ::execv(argv[First], argv + First);
    std::perror(argv[First]);
    return 126;
}
