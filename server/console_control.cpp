#include "server/console_control.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>

namespace {

sigset_t consoleSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

void watchSignals(int signalFd, int stopFd, const std::function<void()>& exit) {
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
        consoleCtrlHandler(info.ssi_signo == SIGINT ? kCtrlCEvent : kShutdownEvent, exit);
    }
}

}  // namespace

void blockConsoleSignals() {
    const sigset_t set = consoleSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool ConsoleControl::install(std::function<void()> exit) {
    const sigset_t set = consoleSignals();
    signalFd = signalfd(-1, &set, SFD_CLOEXEC);
    stopFd = eventfd(0, EFD_CLOEXEC);
    if (signalFd < 0 || stopFd < 0) {
        remove();
        return false;
    }
    thread = std::thread(watchSignals, signalFd, stopFd, std::move(exit));
    return true;
}

void ConsoleControl::remove() {
    if (thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(stopFd, &one, sizeof one);
        thread.join();
    }
    for (int* fd : {&signalFd, &stopFd}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

bool consoleCtrlHandler(int controlType, const std::function<void()>& exit) {
    if (controlType == kCtrlCEvent || controlType == kShutdownEvent) {
        exit();
        return true;
    }
    return false;
}
