// A second thread that a run keeps for work it can do beside its own, one
// task at a time. It is made once and then woken for each task: a thread
// made anew often starts only once its maker waits for it. On Linux it is
// kept off the processor of the thread that gives it a task, so that the
// two work at once. Where threads cannot be had (WebAssembly built without
// them, or none left), start says so and the caller does the task itself.
#pragma once

#include <chrono>
#include <memory>

struct side_thread_state;

class side_thread {
public:
    side_thread();
    ~side_thread();  // ends the thread once its task is done
    side_thread(const side_thread&) = delete;
    side_thread& operator=(const side_thread&) = delete;

    // Makes the thread now, so that it is ready when the first task comes.
    void prepare();
    // Makes no thread, ever: start refuses every task, and callers run
    // them themselves (for a run that is itself another thread's task).
    void decline();
    // Runs task(context) in the thread once the task before is done; false
    // where there is none to run it.
    bool start(void (*task)(void*), void* context);
    // Returns once the task started last is done.
    void wait();
    // The same, looking for its end without sleeping for up to `most`:
    // a thread woken from sleep may go on only a good while after its task
    // ends (on a virtual machine its processor must be woken first).
    // Between looks it calls meanwhile(context), where given.
    void wait_awake(std::chrono::microseconds most, void (*meanwhile)(void*) = nullptr, void* context = nullptr);

private:
    std::unique_ptr<side_thread_state> state_;
};
