#include "tools/quillonctl/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace {

// Written by the signal handler, read by the waits: lock-free, so safe there.
std::atomic<int> interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    if (interrupts.fetch_add(1) > 0) {
        _exit(130);
    }
}

}  // namespace

void installInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interruptRequested() {
    return interrupts.load() > 0;
}
