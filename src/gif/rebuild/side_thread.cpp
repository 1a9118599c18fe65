#include "gif/rebuild/side_thread.h"

#if !defined(__EMSCRIPTEN__) || defined(__EMSCRIPTEN_PTHREADS__)
#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#define REELJOIN_KEEPS_APART 1
#endif

struct side_thread_state {
    std::mutex m;
    std::condition_variable changed;
    void (*task)(void*) = nullptr;  // the task to run, until it is done
    std::atomic<bool> busy{false};  // the same, for a waiter that does not sleep
    void* context = nullptr;
    bool ending = false;
    bool running = false;  // the thread was made
    pthread_t t{};
#ifdef REELJOIN_KEEPS_APART
    cpu_set_t allowed;     // the processors its maker could run on
    int apart_from = -1;   // the processor it is kept off, -1: none
#endif
};

namespace {

#ifdef REELJOIN_KEEPS_APART
// Keeps the thread off the processor of the thread that gives it a task.
// Woken from sleep, it is often woken there rather than on an idle one (a
// virtual machine's idle processor may look taken), and the two threads'
// parts of the work then run one after the other.
void keep_apart(side_thread_state& s) {
    int here = sched_getcpu();
    if (here < 0 || here == s.apart_from || here >= CPU_SETSIZE || !CPU_ISSET(here, &s.allowed) ||
        CPU_COUNT(&s.allowed) < 2)
        return;
    cpu_set_t elsewhere = s.allowed;
    CPU_CLR(here, &elsewhere);
    if (pthread_setaffinity_np(s.t, sizeof elsewhere, &elsewhere) == 0) s.apart_from = here;
}
#endif

// Its tasks are short loops over rows: a small stack is plenty.
constexpr std::size_t stack_bytes = 256 * 1024;

void serve(side_thread_state& s) {
    std::unique_lock<std::mutex> lock(s.m);
    for (;;) {
        s.changed.wait(lock, [&] { return s.task || s.ending; });
        if (!s.task) return;
        lock.unlock();
        s.task(s.context);
        lock.lock();
        s.task = nullptr;
        s.busy.store(false, std::memory_order_release);
        s.changed.notify_all();
    }
}

void* serve_thread(void* state) {
    serve(*static_cast<side_thread_state*>(state));
    return nullptr;
}

}  // namespace

side_thread::side_thread() = default;

side_thread::~side_thread() {
    if (!state_ || !state_->running) return;
    {
        std::lock_guard<std::mutex> lock(state_->m);
        state_->ending = true;
    }
    state_->changed.notify_all();
    pthread_join(state_->t, nullptr);
}

void side_thread::prepare() {
    if (state_) return;
    state_ = std::make_unique<side_thread_state>();
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return;
    pthread_attr_setstacksize(&attr, stack_bytes);
    // Signals sent to the process go to the threads that expect them (the
    // command line's handlers mind what its own thread is doing): this one
    // is made with them blocked, all but those of its own faults.
    sigset_t blocked, before;
    sigfillset(&blocked);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT}) sigdelset(&blocked, fault);
    pthread_sigmask(SIG_SETMASK, &blocked, &before);
    // Where none can be had, tasks run where they are given.
    state_->running = pthread_create(&state_->t, &attr, serve_thread, state_.get()) == 0;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    pthread_attr_destroy(&attr);
#ifdef REELJOIN_KEEPS_APART
    CPU_ZERO(&state_->allowed);
    if (pthread_getaffinity_np(pthread_self(), sizeof state_->allowed, &state_->allowed) != 0) CPU_ZERO(&state_->allowed);
#endif
}

void side_thread::decline() {
    if (!state_) state_ = std::make_unique<side_thread_state>();
}

bool side_thread::start(void (*task)(void*), void* context) {
    prepare();
    if (!state_->running) return false;
#ifdef REELJOIN_KEEPS_APART
    keep_apart(*state_);
#endif
    {
        std::unique_lock<std::mutex> lock(state_->m);
        state_->changed.wait(lock, [&] { return !state_->task; });
        state_->task = task;
        state_->context = context;
        state_->busy.store(true, std::memory_order_relaxed);
    }
    state_->changed.notify_all();
#ifdef REELJOIN_TASKS_IN_TURN
    wait();  // the fuzz build: the same code never runs in two threads at once
#endif
    return true;
}

void side_thread::wait_awake(std::chrono::microseconds most, void (*meanwhile)(void*), void* context) {
    if (!state_ || !state_->running) return;
    for (auto until = std::chrono::steady_clock::now() + most; std::chrono::steady_clock::now() < until; sched_yield()) {
        if (!state_->busy.load(std::memory_order_acquire)) return;
        if (meanwhile) meanwhile(context);
    }
    wait();
}

void side_thread::wait() {
    if (!state_ || !state_->running) return;
    std::unique_lock<std::mutex> lock(state_->m);
    state_->changed.wait(lock, [&] { return !state_->task; });
}

#else

struct side_thread_state {};

side_thread::side_thread() = default;
side_thread::~side_thread() = default;
void side_thread::prepare() {}
void side_thread::decline() {}
bool side_thread::start(void (*)(void*), void*) { return false; }
void side_thread::wait() {}
void side_thread::wait_awake(std::chrono::microseconds, void (*)(void*), void*) {}

#endif
