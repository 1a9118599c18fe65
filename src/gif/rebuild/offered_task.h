// A task one thread offers to another that would otherwise only wait for
// it: whichever takes it first runs it. The thread that offered it takes
// it back once it is ready to run it; it runs it itself unless the other
// has taken it, and then waits for the other to end it. Tasks must not
// throw.
#pragma once

#include <atomic>

class offered_task {
public:
    // Offers task(context); nothing else may be offered until it is taken back.
    void offer(void (*task)(void*), void* context);
    // From the other thread: runs the task where one is offered and not
    // yet taken; returns whether it ran one.
    bool help();
    // From the thread that offered it: true where no other thread took the
    // task, which is withdrawn for the caller to run; false once another
    // has run it.
    bool take_back();

private:
    enum : int { none, offered, taken, done };
    std::atomic<int> state_{none};
    void (*task_)(void*) = nullptr;
    void* context_ = nullptr;
};
