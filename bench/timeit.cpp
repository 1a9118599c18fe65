// Runs a command several times and prints its median, fastest and slowest
// wall time and its peak resident set size, so the bench needs no timing
// tool beyond what it builds itself.
//
//   timeit [-n RUNS] [-w WARMUPS] [-o FILE] [-u FILE] -- COMMAND [ARG...]
//
//   -n RUNS     timed runs (default 5)
//   -w WARMUPS  untimed runs first, to warm the page cache (default 1)
//   -o FILE     the command's standard output goes to FILE (default /dev/null)
//   -u FILE     FILE is removed before every run, outside the timing, so no
//               run pays for truncating the previous run's output
//
// Prints one line: "MEDIAN_S MIN_S MAX_S MAXRSS_KIB STATUS", where STATUS is
// "ok", "exit=N" or "signal=N". The first run that fails ends the series;
// its time and memory are still printed.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct run_result {
    double seconds = 0;
    long maxrss_kib = 0;
    std::string status = "ok";
};

double now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

run_result run_once(char** argv, const char* out_path, const char* unlink_path) {
    if (unlink_path && unlink(unlink_path) != 0 && errno != ENOENT) {
        std::perror(unlink_path);
        std::exit(2);
    }
    run_result r;
    double t0 = now();
    pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(2);
    }
    if (pid == 0) {
        int fd = open(out_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) {
            std::perror(out_path);
            _exit(127);
        }
        close(fd);
        execvp(argv[0], argv);
        std::perror(argv[0]);
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    while (wait4(pid, &status, 0, &ru) < 0) {
        if (errno != EINTR) {
            std::perror("wait4");
            std::exit(2);
        }
    }
    r.seconds = now() - t0;
    r.maxrss_kib = ru.ru_maxrss;  // kilobytes on Linux
    if (WIFSIGNALED(status))
        r.status = "signal=" + std::to_string(WTERMSIG(status));
    else if (WEXITSTATUS(status) != 0)
        r.status = "exit=" + std::to_string(WEXITSTATUS(status));
    return r;
}

[[noreturn]] void usage() {
    std::fprintf(stderr,
                 "usage: timeit [-n RUNS] [-w WARMUPS] [-o FILE] [-u FILE] -- COMMAND [ARG...]\n");
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5, warmups = 1;
    const char* out_path = "/dev/null";
    const char* unlink_path = nullptr;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) usage();
        if (a == "-n")
            runs = std::atoi(argv[++i]);
        else if (a == "-w")
            warmups = std::atoi(argv[++i]);
        else if (a == "-o")
            out_path = argv[++i];
        else if (a == "-u")
            unlink_path = argv[++i];
        else
            usage();
    }
    if (i >= argc || runs < 1 || warmups < 0) usage();
    char** cmd = argv + i;

    std::vector<double> times;
    long maxrss = 0;
    std::string status = "ok";
    for (int k = 0; k < warmups + runs; ++k) {
        run_result r = run_once(cmd, out_path, unlink_path);
        maxrss = std::max(maxrss, r.maxrss_kib);
        if (k >= warmups || r.status != "ok") times.push_back(r.seconds);
        if (r.status != "ok") {
            status = r.status;
            break;
        }
    }
    std::sort(times.begin(), times.end());
    std::size_t n = times.size();
    double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    std::printf("%.6f %.6f %.6f %ld %s\n", median, times.front(), times.back(), maxrss,
                status.c_str());
    return 0;
}
