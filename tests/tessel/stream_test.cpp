// The raw EMG stream and the gesture events, as a listener receives them.
#include <algorithm>

#include "sim_test_support.h"

namespace tessel::sim::testing {
namespace {

using namespace std::chrono_literals;

using RawStream = SimulatedArmband;
using GestureEvents = SimulatedArmband;

std::vector<std::uint8_t> joined(const std::vector<RawPacket>& packets, std::size_t count) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < count && i < packets.size(); ++i) {
        bytes.insert(bytes.end(), packets[i]->begin(), packets[i]->end());
    }
    return bytes;
}

// Streams `count` raw packets from a fresh armband: seed, wearer action and
// channel mask given, every command made before the stream starts.
std::vector<std::uint8_t> recordFresh(std::uint32_t seed, const std::string& action,
                                      std::uint8_t mask, std::size_t count) {
    struct Recorder : SimulatedArmband {
        void TestBody() override {}
        std::vector<std::uint8_t> record(std::uint32_t seed, const std::string& action,
                                         std::uint8_t mask, std::size_t count) {
            start(fastOptions(seed, 20.0));
            EXPECT_EQ(simulation.controller->command(action), "ok");
            connectArmband();
            configureRaw(mask);
            switchStreams(kNotifyEmgRaw);
            EXPECT_TRUE(listener->waitForCount("DeviceData", count));
            TearDown();
            return joined(listener->packets(), count);
        }
    } recorder;
    return recorder.record(seed, action, mask, count);
}

TEST_F(RawStream, SendsAllEightChannelsBeforeAnyConfiguration) {
    start(fastOptions(1, 10.0));
    ASSERT_TRUE(connectArmband());
    switchStreams(kNotifyEmgRaw);
    ASSERT_TRUE(listener->waitForCount("DeviceData", 5));
    for (const Event& event : listener->events()) {
        if (event.name == "DeviceData") {
            EXPECT_EQ(event.value, kDataTypeEmgRaw);
            EXPECT_EQ(event.device, armband);
            ASSERT_TRUE(event.packet);
            EXPECT_EQ(event.packet->size(), 128u);
        }
    }
}

TEST_F(RawStream, SendsPacketsOfSixteenFramesOfTheConfiguredChannels) {
    start(fastOptions(1, 10.0));
    ASSERT_TRUE(connectArmband());
    configureRaw(0x29);  // channels 0, 3 and 5
    switchStreams(kNotifyEmgRaw);
    ASSERT_TRUE(listener->waitForCount("DeviceData", 5));
    for (const RawPacket& packet : listener->packets()) {
        EXPECT_EQ(packet->size(), 48u);
    }
}

TEST_F(RawStream, ArrivesAt650FramesPerSecondScaledByTheStreamSpeed) {
    const double speed = 20.0;
    const double packetsPerSecond = 650.0 / 16.0 * speed;  // 812.5
    start(fastOptions(1, speed));
    ASSERT_TRUE(connectArmband());
    const auto before = std::chrono::steady_clock::now();
    switchStreams(kNotifyEmgRaw);
    const std::size_t wanted = 400;
    ASSERT_TRUE(listener->waitForCount("DeviceData", wanted));
    std::size_t packets = 0;
    std::chrono::steady_clock::time_point last;
    for (const Event& event : listener->events()) {
        if (event.name != "DeviceData") {
            continue;
        }
        ++packets;
        last = event.at;
        // Paced against its start, the stream can never run ahead of the clock,
        // however late the machine let it run.
        const double elapsed = std::chrono::duration<double>(event.at - before).count();
        ASSERT_LE(static_cast<double>(packets), elapsed * packetsPerSecond + 1.0)
            << "packet " << packets << " came early";
    }
    // Nor far behind it: generous, for a loaded machine.
    const double elapsed = std::chrono::duration<double>(last - before).count();
    EXPECT_LT(elapsed, 4.0 * static_cast<double>(wanted) / packetsPerSecond + 2.0) << elapsed;
}

TEST_F(RawStream, StopsOnceTheArmbandHasConfirmedStreamsOff) {
    start(fastOptions(1, 20.0));
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    switchStreams(kNotifyEmgRaw);
    ASSERT_TRUE(listener->waitForCount("DeviceData", 5));
    std::atomic<std::size_t> seenAtConfirmation{0};
    Completions done;
    const ResultCallback collect = done.result();
    setting->setDataNotifySwitch(kNotifyNone, [&, collect](ResponseResult result) {
        seenAtConfirmation.store(listener->events().size());
        collect(result);
    });
    ASSERT_TRUE(done.waitForCount(1));
    letDueCallbacksRun();
    const auto events = listener->events();
    for (std::size_t i = seenAtConfirmation.load(); i < events.size(); ++i) {
        EXPECT_NE(events[i].name, "DeviceData") << "a packet after the stream was switched off";
    }
}

TEST_F(RawStream, StopsWhenTheLinkIsLost) {
    start(fastOptions(1, 20.0));
    ASSERT_TRUE(connectArmband());
    switchStreams(kNotifyEmgRaw);
    ASSERT_TRUE(listener->waitForCount("DeviceData", 5));
    simulation.controller->drop();
    ASSERT_TRUE(listener->waitForCount("DeviceDisconnected", 1));
    letDueCallbacksRun();
    const auto events = listener->events();
    const auto lost = std::find_if(events.begin(), events.end(), [](const Event& event) {
        return event.name == "DeviceDisconnected";
    });
    EXPECT_TRUE(std::none_of(lost, events.end(),
                             [](const Event& event) { return event.name == "DeviceData"; }));
    EXPECT_EQ(simulation.controller->status().streams, 0u);
}

TEST(RawStreamBytes, AreTheSameForTheSameSeedAndCommands) {
    const auto first = recordFresh(7, "perform 2", 0xFF, 200);
    const auto second = recordFresh(7, "perform 2", 0xFF, 200);
    const auto otherSeed = recordFresh(8, "perform 2", 0xFF, 200);
    ASSERT_EQ(first.size(), 200u * 128u);
    EXPECT_EQ(first, second);
    EXPECT_NE(first, otherSeed);
}

TEST(RawStreamBytes, CarryTheSelectedElectrodesInAscendingOrder) {
    const auto all = recordFresh(3, "hold 4", 0xFF, 40);
    const auto some = recordFresh(3, "hold 4", 0x52, 40);  // electrodes 1, 4 and 6
    ASSERT_EQ(all.size(), 40u * 16u * 8u);
    ASSERT_EQ(some.size(), 40u * 16u * 3u);
    for (std::size_t frame = 0; frame < 40u * 16u; ++frame) {
        ASSERT_EQ(some[frame * 3 + 0], all[frame * 8 + 1]) << frame;
        ASSERT_EQ(some[frame * 3 + 1], all[frame * 8 + 4]) << frame;
        ASSERT_EQ(some[frame * 3 + 2], all[frame * 8 + 6]) << frame;
    }
}

TEST_F(GestureEvents, ReportTheWearersGestureEachTimeItChanges) {
    start(fastOptions(1, 20.0));
    ASSERT_TRUE(connectArmband());
    ASSERT_TRUE(simulation.controller->perform(3));
    switchStreams(kNotifyGesture);
    ASSERT_TRUE(listener->waitForCount("GestureData", 5));
    std::vector<std::int64_t> gestures;
    for (const Event& event : listener->events()) {
        if (event.name == "GestureData") {
            gestures.push_back(event.value);
            EXPECT_EQ(event.device, armband);
        }
    }
    EXPECT_EQ(std::vector<std::int64_t>(gestures.begin(), gestures.begin() + 5),
              (std::vector<std::int64_t>{3, 0, 3, 0, 3}));
    EXPECT_EQ(listener->count("DeviceData"), 0u) << "raw packets were not asked for";
}

TEST_F(GestureEvents, FollowTheWearerFromHoldToRest) {
    start(fastOptions(1, 20.0));
    ASSERT_TRUE(connectArmband());
    switchStreams(kNotifyGesture);
    ASSERT_TRUE(simulation.controller->hold(12));
    ASSERT_TRUE(listener->waitForCount("GestureData", 1));
    simulation.controller->rest();
    ASSERT_TRUE(listener->waitForCount("GestureData", 2));
    letDueCallbacksRun();
    std::vector<std::int64_t> gestures;
    for (const Event& event : listener->events()) {
        if (event.name == "GestureData") {
            gestures.push_back(event.value);
        }
    }
    EXPECT_EQ(gestures, (std::vector<std::int64_t>{12, 0}));
}

TEST_F(GestureEvents, AreNotSentWhileOnlyRawPacketsAreOn) {
    start(fastOptions(1, 20.0));
    ASSERT_TRUE(connectArmband());
    ASSERT_TRUE(simulation.controller->hold(1));
    switchStreams(kNotifyEmgRaw);
    ASSERT_TRUE(listener->waitForCount("DeviceData", 60));  // longer than any onset
    EXPECT_EQ(listener->count("GestureData"), 0u);
}

}  // namespace
}  // namespace tessel::sim::testing
