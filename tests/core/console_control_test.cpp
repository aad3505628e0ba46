#include "core/console_control.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/event_queue.h"

namespace {

TEST(ConsoleControl, CtrlCAndShutdownAskTheServerToExit) {
    for (int event : {kCtrlCEvent, kShutdownEvent}) {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(consoleCtrlHandler(event));
        EXPECT_NE(testing::internal::GetCapturedStdout().find("exitApplication"),
                  std::string::npos);
        const EventRecord record = eventQueue.tryPop();
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(*record, std::vector<std::uint8_t>{EXIT_EVT});
    }
}

TEST(ConsoleControl, OtherConsoleEventsAreLeftToTheirDefault) {
    for (int event : {1, 2, 5}) {
        EXPECT_FALSE(consoleCtrlHandler(event));
    }
    EXPECT_EQ(eventQueue.tryPop(), nullptr);
}

// Each signal runs in a process of its own: the signals must be blocked in every
// thread of the process, which only holds for a process that blocks them first.
void expectSignalQueuesExit(int signalNumber) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            blockConsoleSignals();
            if (!installConsoleControl()) {
                std::exit(2);
            }
            kill(getpid(), signalNumber);
            EventRecord record;
            for (int i = 0; i < 500 && !record; ++i) {
                record = eventQueue.tryPop();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            removeConsoleControl();
            std::exit(record && (*record)[0] == EXIT_EVT ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(ConsoleControl, CtrlCAndSigtermReachTheEventQueueThroughTheWatcherThread) {
    expectSignalQueuesExit(SIGINT);
    expectSignalQueuesExit(SIGTERM);
}

}  // namespace
