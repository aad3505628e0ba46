#include "signal/identify_window_cutter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Packets whose bytes are numbered by their place in the stream (mod 256), so
// a window shows where it was cut.
class NumberedStream {
  public:
    Bytes next(std::size_t length) {
        Bytes packet(length);
        for (auto& byte : packet) {
            byte = static_cast<std::uint8_t>(position++);
        }
        return packet;
    }

  private:
    std::size_t position = 0;
};

testing::AssertionResult startsAt(const EventRecord& window, std::size_t start) {
    if (!window) {
        return testing::AssertionFailure() << "no window";
    }
    for (std::size_t i = 0; i < window->size(); ++i) {
        if ((*window)[i] != static_cast<std::uint8_t>(start + i)) {
            return testing::AssertionFailure()
                   << "byte " << i << " is not stream byte " << start + i;
        }
    }
    return testing::AssertionSuccess();
}

TEST(IdentifyWindowCutter, FirstWindowComesWithTheThirdPacketAndTheNextStartsHalfAWindowLater) {
    IdentifyWindowCutter cutter;
    NumberedStream stream;
    cutter.reset(260);

    EXPECT_EQ(cutter.cut(stream.next(128)), nullptr);
    EXPECT_EQ(cutter.cut(stream.next(128)), nullptr);
    const EventRecord first = cutter.cut(stream.next(128));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->size(), 260u);
    EXPECT_TRUE(startsAt(first, 0));
    EXPECT_EQ(cutter.heldBytes(), 254u);

    const EventRecord second = cutter.cut(stream.next(128));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->size(), 260u);
    EXPECT_TRUE(startsAt(second, 130));
}

TEST(IdentifyWindowCutter, HoldingExactlyOneWindowCutsNothing) {
    IdentifyWindowCutter cutter;
    NumberedStream stream;
    cutter.reset(260);
    EXPECT_EQ(cutter.cut(stream.next(130)), nullptr);
    EXPECT_EQ(cutter.cut(stream.next(130)), nullptr);
    EXPECT_TRUE(startsAt(cutter.cut(stream.next(1)), 0));
}

TEST(IdentifyWindowCutter, CutsAtMostOneWindowPerPacket) {
    IdentifyWindowCutter cutter;
    NumberedStream stream;
    cutter.reset(100);
    EXPECT_TRUE(startsAt(cutter.cut(stream.next(180)), 0));
    EXPECT_EQ(cutter.heldBytes(), 130u);
    EXPECT_TRUE(startsAt(cutter.cut(stream.next(0)), 50));
}

TEST(IdentifyWindowCutter, ALongStreamGivesEveryHalfOverlappingWindowInOrder) {
    // Five channels: windows of 650 bytes from packets of 80.
    IdentifyWindowCutter cutter;
    NumberedStream stream;
    cutter.reset(650);
    std::size_t windows = 0;
    for (int packet = 0; packet < 5000; ++packet) {
        if (const EventRecord window = cutter.cut(stream.next(80))) {
            ASSERT_EQ(window->size(), 650u);
            ASSERT_TRUE(startsAt(window, windows * 325)) << "window " << windows;
            ++windows;
        }
    }
    EXPECT_EQ(windows, (5000u * 80u - 651u) / 325u + 1u);
}

TEST(IdentifyWindowCutter, ResetDropsHeldBytesAndTakesTheNewLength) {
    IdentifyWindowCutter cutter;
    NumberedStream old;
    cutter.reset(260);
    cutter.cut(old.next(200));
    cutter.reset(130);
    EXPECT_EQ(cutter.heldBytes(), 0u);

    NumberedStream fresh;
    EXPECT_EQ(cutter.cut(fresh.next(130)), nullptr);
    const EventRecord window = cutter.cut(fresh.next(16));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->size(), 130u);
    EXPECT_TRUE(startsAt(window, 0));
}

TEST(IdentifyWindowCutter, WithoutAUsableLengthPacketsAreDropped) {
    IdentifyWindowCutter neverReset;
    IdentifyWindowCutter zero;
    zero.reset(0);
    IdentifyWindowCutter one;
    one.reset(1);
    for (IdentifyWindowCutter* cutter : {&neverReset, &zero, &one}) {
        for (int packet = 0; packet < 10; ++packet) {
            EXPECT_EQ(cutter->cut(Bytes(16, 7)), nullptr);
        }
        EXPECT_EQ(cutter->heldBytes(), 0u);
    }
}

TEST(IdentifyWindowCutter, PacketsLargerThanHalfAWindowNeverLetTheBacklogGrow) {
    // One channel's windows (130 bytes) fed eight channels' packets (128).
    IdentifyWindowCutter cutter;
    NumberedStream stream;
    cutter.reset(130);
    std::size_t windows = 0;
    for (int packet = 0; packet < 1000; ++packet) {
        windows += cutter.cut(stream.next(128)) != nullptr;
        // Without the bound the backlog would grow by 63 bytes a packet.
        ASSERT_LE(cutter.heldBytes(), 3u * 130u);
    }
    EXPECT_EQ(windows, 999u);
}

TEST(IdentifyWindowCutter, ResetWhilePacketsArriveOnAnotherThreadKeepsWindowsWhole) {
    IdentifyWindowCutter cutter;
    cutter.reset(260);
    std::atomic<bool> stop{false};
    std::atomic<int> broken{0};
    std::thread callback([&] {
        NumberedStream stream;
        while (!stop.load()) {
            const EventRecord window = cutter.cut(stream.next(32));
            broken += window && window->size() != 260 && window->size() != 390;
        }
    });
    for (int round = 0; round < 2000; ++round) {
        cutter.reset(round % 2 == 0 ? 390 : 260);
    }
    stop.store(true);
    callback.join();
    EXPECT_EQ(broken.load(), 0);
}

}  // namespace
