#include "cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace {

constexpr int signals[] = {SIGINT, SIGTERM, SIGHUP};

// The one piece of process-wide state of the command line: a signal
// handler can reach nothing else. Written only while the signals are held.
char guarded[PATH_MAX];

void on_signal(int sig) {
    if (guarded[0]) ::unlink(guarded);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

sigset_t signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : signals) sigaddset(&set, sig);
    return set;
}

}  // namespace

void handle_interrupts() {
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sa.sa_mask = signal_set();
    for (int sig : signals) {
        struct sigaction old {};
        // A signal the shell set to be ignored (nohup, a background job) stays so.
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(sig, &sa, nullptr);
    }
}

void hold_interrupts() {
    sigset_t set = signal_set();
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
}

void release_interrupts() {
    sigset_t set = signal_set();
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void guard_file(const char* path) {
    sigset_t set = signal_set(), old;
    ::sigprocmask(SIG_BLOCK, &set, &old);
    std::size_t n = path ? std::strlen(path) : 0;
    if (n >= sizeof guarded) n = 0;
    std::memcpy(guarded, path ? path : "", n);
    guarded[n] = '\0';
    ::sigprocmask(SIG_SETMASK, &old, nullptr);
}
