// The start-up tasks' thread: the set-up of other parts of the platform, overlapping the first
// window's creation (tens of milliseconds spent in the window system and the GL's loading).
#include "start_up_tasks.h"

#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace win32 {
namespace {

constexpr int kMaxTasks = 4;
constinit std::atomic<void (*)()> tasks[kMaxTasks] = {};
std::thread* runner = nullptr; // set once, by the thread that starts it

void RunTasks() {
    for (auto& slot : tasks)
        if (void (*task)() = slot.load(std::memory_order_acquire)) task();
}

void JoinAtExit() {
    if (runner && runner->joinable()) runner->join();
}

// A forked child has no such thread, only the record of one.
void ForgetInChild() {
    runner = nullptr;
}

} // namespace

void AddStartUpTask(void (*task)()) {
    for (auto& slot : tasks) {
        void (*empty)() = nullptr;
        if (slot.compare_exchange_strong(empty, task, std::memory_order_acq_rel)) return;
    }
}

void StartStartUpTasks() {
    static bool started = false;
    if (started) return;
    started = true;
    if (!tasks[0].load(std::memory_order_acquire) || std::thread::hardware_concurrency() < 2)
        return;
    try {
        runner = new std::thread(RunTasks);
    } catch (const std::system_error&) {
        return; // no thread: each task's users do its work when they need it
    }
    std::atexit(JoinAtExit);
    pthread_atfork(nullptr, nullptr, ForgetInChild);
}

} // namespace win32
