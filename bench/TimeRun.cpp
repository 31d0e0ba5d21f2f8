// Runs one program and reports its wall time and peak memory, for the
// benchmark script: "<seconds> <peak RSS in KiB> <exit status> <CPU seconds>"
// on one line (CPU: user and system time, less hurt by a busy machine).
// The child's standard output goes to the named file.
//
//   TimeRun <stdout file> <program> [<argument>...]
//
// posix_spawn shares this process's memory until the exec, so the peak the
// kernel reports is the program's own, not the runner's copy.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

extern char** environ;

namespace {

double Now() {
    timespec t;
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: TimeRun <stdout file> <program> [<argument>...]\n", stderr);
        return 2;
    }
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, STDOUT_FILENO, argv[1], O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    double Start = Now();
    pid_t Child = 0;
    int Err = ::posix_spawn(&Child, argv[2], &Actions, nullptr, argv + 2, environ);
    if (Err != 0) {
        errno = Err;
        std::perror(argv[2]);
        return 1;
    }
    int Status = 0;
    rusage Usage{};
    while (::wait4(Child, &Status, 0, &Usage) < 0) {
        if (errno != EINTR) {
            std::perror("wait4");
            return 1;
        }
    }
    double Wall = Now() - Start;
    int Code = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    double Cpu = static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
                 static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) * 1e-6;
    std::printf("%.6f %ld %d %.6f\n", Wall, Usage.ru_maxrss, Code, Cpu);
    return 0;
}
