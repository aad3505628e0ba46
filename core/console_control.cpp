#include "core/console_control.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

#include "core/exit_application.h"

namespace {

sigset_t consoleSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// Owned by the main thread: installed at start-up, removed at shutdown.
struct ConsoleWatcher {
    int signalFd = -1;
    int stopFd = -1;
    std::thread thread;
};

ConsoleWatcher watcher;

void watchSignals(int signalFd, int stopFd) {
    pollfd fds[2] = {{signalFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            continue;
        }
        if (fds[1].revents != 0) {
            return;
        }
        signalfd_siginfo info{};
        if (read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
            continue;
        }
        consoleCtrlHandler(info.ssi_signo == SIGINT ? kCtrlCEvent : kShutdownEvent);
    }
}

}  // namespace

void blockConsoleSignals() {
    const sigset_t set = consoleSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool installConsoleControl() {
    const sigset_t set = consoleSignals();
    watcher.signalFd = signalfd(-1, &set, SFD_CLOEXEC);
    watcher.stopFd = eventfd(0, EFD_CLOEXEC);
    if (watcher.signalFd < 0 || watcher.stopFd < 0) {
        removeConsoleControl();
        return false;
    }
    watcher.thread = std::thread(watchSignals, watcher.signalFd, watcher.stopFd);
    return true;
}

void removeConsoleControl() {
    if (watcher.thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(watcher.stopFd, &one, sizeof one);
        watcher.thread.join();
    }
    for (int* fd : {&watcher.signalFd, &watcher.stopFd}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

bool consoleCtrlHandler(int controlType) {
    if (controlType == kCtrlCEvent || controlType == kShutdownEvent) {
        exitApplication();
        return true;
    }
    return false;
}
