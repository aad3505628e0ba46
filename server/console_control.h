// Ctrl+C and system shutdown end the server cleanly.
//
// SIGINT (Ctrl+C) and SIGTERM (shutdown) are taken by a thread of their own,
// which calls consoleCtrlHandler; a signal handler itself may neither log nor
// lock, so there is none. Other signals keep their default behaviour.
#pragma once

#include <functional>
#include <thread>

// Console events, as the handler receives them.
inline constexpr int kCtrlCEvent = 0;
inline constexpr int kShutdownEvent = 6;

// Blocks SIGINT and SIGTERM in the calling thread, and so in every thread it
// starts afterwards. Call first thing in main.
void blockConsoleSignals();

// True when the event was handled: Ctrl+C and shutdown call `exit`.
bool consoleCtrlHandler(int controlType, const std::function<void()>& exit);

// The thread that waits for the signals. Owned by the thread that installs
// and removes it (the main thread).
class ConsoleControl {
  public:
    ConsoleControl() = default;
    ~ConsoleControl() { remove(); }
    ConsoleControl(const ConsoleControl&) = delete;
    ConsoleControl& operator=(const ConsoleControl&) = delete;

    // Starts the thread, which calls consoleCtrlHandler with `exit` for each
    // signal. False when it cannot.
    bool install(std::function<void()> exit);
    // Stops and joins the thread.
    void remove();

  private:
    int signalFd = -1;
    int stopFd = -1;
    std::thread thread;
};
