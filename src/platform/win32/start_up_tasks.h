// Work the platform starts on a thread of its own when a program makes its first window.
#pragma once

namespace win32 {

// Registers work worth having done before a windowed program first needs it (the font lookup's
// configuration, read from the system's files). Safe during static initialisation. A task must
// be a once-only set-up that its users also call and wait for (a function-local static), so
// that it is done the same whether it ran on the thread, runs there still, or never started.
void AddStartUpTask(void (*task)());

// Runs the registered tasks, once per process, on a thread while the caller goes on (the first
// window's creation calls it). Nothing starts on a single core. At exit the process waits for the
// task in flight, so none is cut off while the libraries it uses are torn down.
void StartStartUpTasks();

} // namespace win32
