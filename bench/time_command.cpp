// bench_time: runs one command and prints what it cost.
//
//   bench_time [-o FILE] -- COMMAND [ARG...]
//
// The command's standard output goes to FILE (created or truncated), or to
// /dev/null without -o; its standard error is left as it is. When the
// command has ended, one line goes to standard output:
//
//   WALL USER SYS PEAK STATUS
//
// the wall-clock seconds from just before the start to the end, the user and
// system CPU seconds of the command and its children, its peak resident set
// in kilobytes (of the largest process), and its exit status (128 + signal
// when a signal ended it). The command is started with execvp, without a
// shell, so that long argument lists reach it as they are.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    const char *output = "/dev/null";
    int first = 1;
    if (first + 1 < argc && std::strcmp(argv[first], "-o") == 0) {
        output = argv[first + 1];
        first += 2;
    }
    if (first >= argc || std::strcmp(argv[first], "--") != 0 || first + 1 >= argc) {
        std::fprintf(stderr, "usage: %s [-o FILE] -- COMMAND [ARG...]\n", argv[0]);
        return 2;
    }
    char **command = argv + first + 1;
    int sink = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (sink < 0) {
        std::perror(output);
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 2;
    }
    if (child == 0) {
        dup2(sink, STDOUT_FILENO);
        close(sink);
        execvp(command[0], command);
        std::perror(command[0]);
        _exit(127);
    }
    close(sink);

    int status = 0;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("wait4");
        return 2;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double user = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6;
    const double sys = usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    const int exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%.4f %.4f %.4f %ld %d\n", wall, user, sys, usage.ru_maxrss, exit_status);
    return 0;
}
