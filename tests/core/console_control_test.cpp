#include "core/console_control.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <thread>

#include "core/event_queue.h"

namespace {

TEST(ConsoleControl, CtrlCAndShutdownAskTheServerToExit) {
    for (int event : {kCtrlCEvent, kShutdownEvent}) {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(consoleCtrlHandler(event));
        EXPECT_NE(testing::internal::GetCapturedStdout().find("exitApplication"), std::string::npos);
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

TEST(ConsoleControl, ASigtermReachesTheEventQueueThroughTheWatcherThread) {
    blockConsoleSignals();
    ASSERT_TRUE(installConsoleControl());
    testing::internal::CaptureStdout();
    kill(getpid(), SIGTERM);
    EventRecord record;
    for (int i = 0; i < 500 && !record; ++i) {
        record = eventQueue.tryPop();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    testing::internal::GetCapturedStdout();
    removeConsoleControl();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ((*record)[0], EXIT_EVT);
}

}  // namespace
