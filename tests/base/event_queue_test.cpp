#include "base/event_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST(EventQueue, RecordsComeOutInTheOrderTheyWentIn) {
    EventQueue queue;
    for (std::uint8_t i = 0; i < 5; ++i) {
        queue.push(makeEventRecord(HUB_EVT, {i}));
    }
    for (std::uint8_t i = 0; i < 5; ++i) {
        const EventRecord record = queue.pop().record;
        ASSERT_EQ(record->size(), 2u);
        EXPECT_EQ((*record)[1], i);
    }
    EXPECT_FALSE(queue.tryPop().has_value());
}

TEST(EventQueue, PopWaitsUntilSomethingIsPushed) {
    EventQueue queue;
    std::atomic<bool> popped{false};
    std::thread consumer([&] {
        const EventRecord record = queue.pop().record;
        EXPECT_EQ((*record)[0], TIMER_EVT);
        popped.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(popped.load());
    queue.push(makeEventRecord(TIMER_EVT, {1}));
    consumer.join();
    EXPECT_TRUE(popped.load());
}

TEST(EventQueue, EachProducerKeepsItsOrderAmongManyProducers) {
    EventQueue queue;
    constexpr int kProducers = 4;
    constexpr int kRecords = 2000;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&queue, p] {
            for (int i = 0; i < kRecords; ++i) {
                queue.push(makeEventRecord(
                    static_cast<std::uint8_t>(p),
                    {static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i & 0xFF)}));
            }
        });
    }
    int next[kProducers] = {};
    for (int n = 0; n < kProducers * kRecords; ++n) {
        const EventRecord record = queue.pop().record;
        const int producer = (*record)[0];
        EXPECT_EQ(((*record)[1] << 8) | (*record)[2], next[producer]);
        ++next[producer];
    }
    for (auto& producer : producers) {
        producer.join();
    }
}

TEST(EventQueue, ARecordCarriesItsTypeThenItsPayload) {
    const std::uint8_t payload[] = {5, 3, 1};
    const EventRecord record = makeEventRecord(HUB_EVT, payload, 3);
    EXPECT_EQ(*record, (std::vector<std::uint8_t>{1, 5, 3, 1}));
    EXPECT_EQ(*makeEventRecord(EXIT_EVT), std::vector<std::uint8_t>{4});
}

}  // namespace
