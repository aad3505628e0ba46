#include "server/console_control.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/event_queue.h"
#include "base/exit_application.h"

namespace {

TEST(ConsoleControl, CtrlCAndShutdownAskTheServerToExit) {
    EventQueue queue;
    const auto exit = [&queue] { exitApplication(queue); };
    for (int control : {kCtrlCEvent, kShutdownEvent}) {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(consoleCtrlHandler(control, exit));
        EXPECT_NE(testing::internal::GetCapturedStdout().find("exitApplication"),
                  std::string::npos);
        const std::optional<Event> event = queue.tryPop();
        ASSERT_TRUE(event.has_value());
        EXPECT_EQ(*event->record, std::vector<std::uint8_t>{EXIT_EVT});
    }
}

TEST(ConsoleControl, OtherConsoleEventsAreLeftToTheirDefault) {
    int exits = 0;
    for (int event : {1, 2, 5}) {
        EXPECT_FALSE(consoleCtrlHandler(event, [&exits] { ++exits; }));
    }
    EXPECT_EQ(exits, 0);
}

// Each signal runs in a process of its own: the signals must be blocked in every
// thread of the process, which only holds for a process that blocks them first.
void expectSignalQueuesExit(int signalNumber) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            blockConsoleSignals();
            EventQueue queue;
            ConsoleControl console;
            if (!console.install([&queue] { exitApplication(queue); })) {
                std::exit(2);
            }
            kill(getpid(), signalNumber);
            std::optional<Event> event;
            for (int i = 0; i < 500 && !event; ++i) {
                event = queue.tryPop();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            console.remove();
            std::exit(event && (*event->record)[0] == EXIT_EVT ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(ConsoleControl, CtrlCAndSigtermReachTheEventQueueThroughTheWatcherThread) {
    expectSignalQueuesExit(SIGINT);
    expectSignalQueuesExit(SIGTERM);
}

}  // namespace
