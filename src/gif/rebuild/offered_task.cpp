#include "gif/rebuild/offered_task.h"

#include <thread>

void offered_task::offer(void (*task)(void*), void* context) {
    task_ = task;
    context_ = context;
    state_.store(offered, std::memory_order_release);
}

bool offered_task::help() {
    int expected = offered;
    if (!state_.compare_exchange_strong(expected, taken, std::memory_order_acquire)) return false;
    task_(context_);
    state_.store(done, std::memory_order_release);
    return true;
}

bool offered_task::take_back() {
    int expected = offered;
    if (state_.compare_exchange_strong(expected, none, std::memory_order_acquire)) return true;
    // Taken: the other thread is at it, for about as long as this one
    // took for its own part.
    while (state_.load(std::memory_order_acquire) != done) std::this_thread::yield();
    state_.store(none, std::memory_order_relaxed);
    return false;
}
