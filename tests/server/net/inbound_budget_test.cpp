#include "server/net/inbound_budget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

const std::uint8_t kPing = 0x01;

std::vector<EventRecord> fill(InboundBudget& budget) {
    std::vector<EventRecord> records;
    while (budget.mayRead()) {
        records.push_back(budget.makeRecord(&kPing, 1));
    }
    return records;
}

TEST(InboundBudget, AConnectionPausesAtItsLimitsAndResumesWhenTheMainLoopFreesRoom) {
    const auto all = std::make_shared<InboundBudgets>();
    std::atomic<int> resumed{0};
    auto budget = std::make_shared<InboundBudget>(all, [&] { ++resumed; });
    std::vector<EventRecord> records = fill(*budget);
    EXPECT_EQ(records.size(), kMaxWaitingPerConnection);
    EXPECT_EQ((*records[0]), (std::vector<std::uint8_t>{0x00, kPing}));
    ASSERT_TRUE(budget->pause());
    records.pop_back();
    EXPECT_EQ(resumed.load(), 1);
    EXPECT_TRUE(budget->mayRead());
    records.clear();
    EXPECT_EQ(resumed.load(), 1) << "resumed once per pause";

    // One message of the largest size fills a connection's bytes; the bytes of
    // all connections together stop the others too, and freeing them resumes them.
    const std::vector<std::uint8_t> large(kMaxWaitingBytesPerConnection, kPing);
    std::atomic<int> otherResumed{0};
    auto other = std::make_shared<InboundBudget>(all, [&] { ++otherResumed; });
    for (std::size_t i = 0; i * kMaxWaitingBytesPerConnection < kMaxWaitingBytes; ++i) {
        records.push_back(budget->makeRecord(large.data(), large.size()));
    }
    EXPECT_FALSE(other->mayRead());
    ASSERT_TRUE(other->pause());
    records.clear();
    EXPECT_EQ(otherResumed.load(), 1);
    EXPECT_EQ(all->waitingBytes(), 0u);
}

TEST(InboundBudget, NoResumeIsLostWhenRoomComesWhilePausing) {
    const auto all = std::make_shared<InboundBudgets>();
    std::atomic<int> resumed{0};
    auto budget = std::make_shared<InboundBudget>(all, [&] { ++resumed; });
    std::vector<EventRecord> records;
    std::atomic<int> go{0};
    std::atomic<int> done{0};
#if defined(QUILLON_SANITIZED)
    // Instrumented spinning is many times slower and starves the other tests.
    constexpr int kRounds = 1000;
#else
    constexpr int kRounds = 20000;
#endif
    // The race lasts nanoseconds: spin to meet it, but give the core up when
    // the other thread is not running.
    const auto waitFor = [](const std::atomic<int>& value, int round) {
        for (int spins = 0; value.load() != round; ++spins) {
            if (spins > 2000) {
                std::this_thread::yield();
            }
        }
    };
    // The main loop frees a record at the moment the connection pauses.
    std::thread mainLoop([&] {
        for (int round = 1; round <= kRounds; ++round) {
            waitFor(go, round);
            records.pop_back();
            done.store(round);
        }
    });
    for (int round = 1; round <= kRounds; ++round) {
        records = fill(*budget);
        const int before = resumed.load();
        go.store(round);
        const bool paused = budget->pause();
        waitFor(done, round);
        ASSERT_TRUE(!paused || resumed.load() == before + 1) << "round " << round;
        records.clear();
    }
    mainLoop.join();
}

}  // namespace
