// Scanning, connecting and losing the armband.
#include <future>

#include "sim_test_support.h"

namespace tessel::sim::testing {
namespace {

using namespace std::chrono_literals;

using Scanning = SimulatedArmband;
using Connecting = SimulatedArmband;
using Disconnecting = SimulatedArmband;

TEST_F(Scanning, FindsTheArmbandAndThenFinishes) {
    start();
    ASSERT_EQ(simulation.hub->startScan(0xD0), 0);
    ASSERT_TRUE(listener->waitForCount("ScanFinished", 1));
    EXPECT_EQ(listener->names(), (std::vector<std::string>{"DeviceFound", "ScanFinished"}));
    const DevicePtr found = listener->events()[0].device;
    ASSERT_TRUE(found);
    EXPECT_EQ(found->getConnectionState(), ConnectionState::Disconnected);
}

TEST_F(Scanning, StopScanFromInsideOnDeviceFoundEndsTheScanOnce) {
    start();
    ASSERT_TRUE(findArmband());
    EXPECT_EQ(listener->names(), (std::vector<std::string>{"DeviceFound", "ScanFinished"}));
}

TEST_F(Scanning, FindsNothingWhileTheArmbandIsAbsentAndFindsItOncePresent) {
    start();
    simulation.controller->setPresent(false);
    ASSERT_EQ(simulation.hub->startScan(0xD0), 0);
    ASSERT_TRUE(listener->waitForCount("ScanFinished", 1));
    EXPECT_EQ(listener->count("DeviceFound"), 0u);

    // As the server does: scan again after every empty scan.
    const auto hub = simulation.hub;
    listener->setReaction([hub](const Event& event) {
        if (event.name == "ScanFinished") {
            hub->startScan(0xD0);
        } else if (event.name == "DeviceFound") {
            hub->stopScan();
        }
    });
    ASSERT_EQ(hub->startScan(0xD0), 0);
    ASSERT_TRUE(listener->waitForCount("ScanFinished", 3)) << "scans repeat while nothing is found";
    simulation.controller->setPresent(true);
    ASSERT_TRUE(listener->waitForCount("DeviceFound", 1));
    listener->setReaction(nullptr);
}

TEST_F(Scanning, ASecondStartWhileScanningKeepsTheScanUnderWay) {
    start();
    ASSERT_EQ(simulation.hub->startScan(0xD0), 0);
    EXPECT_EQ(simulation.hub->startScan(0xD0), 0);
    ASSERT_TRUE(listener->waitForCount("ScanFinished", 1));
    EXPECT_EQ(listener->count("DeviceFound"), 1u);
    EXPECT_EQ(listener->count("ScanFinished"), 1u);
}

TEST_F(Scanning, DoesNotFindAnArmbandThatIsAlreadyConnected) {
    start();
    ASSERT_TRUE(connectArmband());
    const std::size_t found = listener->count("DeviceFound");
    ASSERT_EQ(simulation.hub->startScan(0xD0), 0);
    ASSERT_TRUE(listener->waitForCount("ScanFinished", 2));
    EXPECT_EQ(listener->count("DeviceFound"), found);
}

TEST_F(Connecting, MovesThroughConnectingToConnectedBeforeOnDeviceConnected) {
    start();
    ASSERT_TRUE(findArmband());
    std::promise<ConnectionState> stateInCallback;
    listener->setReaction([&](const Event& event) {
        if (event.name == "DeviceConnected") {
            stateInCallback.set_value(event.device->getConnectionState());
        }
    });
    ASSERT_EQ(armband->connect(1), 0);
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Connecting);
    auto state = stateInCallback.get_future();
    ASSERT_EQ(state.wait_for(kPatience), std::future_status::ready);
    EXPECT_EQ(state.get(), ConnectionState::Connected);
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Connected);
    listener->setReaction(nullptr);
}

TEST_F(Connecting, RequestsMadeInsideOnDeviceConnectedCompleteAfterItReturns) {
    start();
    ASSERT_TRUE(findArmband());
    Completions done;
    std::atomic<bool> callbackReturned{false};
    std::atomic<bool> completedTooEarly{false};
    const auto early = [&](ResultCallback inner) {
        return [&, inner](ResponseResult result) {
            if (!callbackReturned.load()) {
                completedTooEarly.store(true);
            }
            inner(result);
        };
    };
    listener->setReaction([&](const Event& event) {
        if (event.name == "DeviceConnected") {
            const auto setting = event.device->getSetting();
            setting->setDataNotifySwitch(kNotifyNone, early(done.result()));
            setting->openPackageId(1, early(done.result()));
            callbackReturned.store(true);
        }
    });
    ASSERT_EQ(armband->connect(1), 0);
    ASSERT_TRUE(done.waitForCount(2));
    listener->setReaction(nullptr);
    EXPECT_FALSE(completedTooEarly.load());
    EXPECT_EQ(done.all()[0].result, ResponseResult::Success);
    EXPECT_EQ(done.all()[1].result, ResponseResult::Success);
}

TEST_F(Connecting, IsRefusedWhileConnectingOrConnected) {
    start();
    ASSERT_TRUE(findArmband());
    ASSERT_EQ(armband->connect(1), 0);
    EXPECT_NE(armband->connect(1), 0);
    ASSERT_TRUE(listener->waitForCount("DeviceConnected", 1));
    EXPECT_NE(armband->connect(1), 0);
    EXPECT_EQ(listener->count("DeviceConnected"), 1u);
}

TEST_F(Connecting, FailsWhenTheArmbandHasGone) {
    start();
    ASSERT_TRUE(findArmband());
    simulation.controller->setPresent(false);
    ASSERT_EQ(armband->connect(1), 0);
    ASSERT_TRUE(listener->waitForCount("DeviceConnectFailed", 1));
    EXPECT_EQ(listener->count("DeviceConnected"), 0u);
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Disconnected);
}

TEST_F(Disconnecting, EndsInOnDeviceDisconnected) {
    start();
    ASSERT_TRUE(connectArmband());
    ASSERT_EQ(armband->disconnect(), 0);
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Disconnecting);
    ASSERT_TRUE(listener->waitForCount("DeviceDisconnected", 1));
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Disconnected);
    EXPECT_EQ(listener->events().back().value, kReasonRequested);
}

TEST_F(Disconnecting, IsRefusedWhenNotConnected) {
    start();
    ASSERT_TRUE(findArmband());
    EXPECT_NE(armband->disconnect(), 0);
    ASSERT_TRUE(connectArmband());
    ASSERT_EQ(armband->disconnect(), 0);
    EXPECT_NE(armband->disconnect(), 0) << "already disconnecting";
    ASSERT_TRUE(listener->waitForCount("DeviceDisconnected", 1));
}

TEST_F(Disconnecting, ADropLosesTheLinkAtOnceAndReportsIt) {
    start();
    ASSERT_TRUE(connectArmband());
    simulation.controller->drop();
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Disconnected);
    ASSERT_TRUE(listener->waitForCount("DeviceDisconnected", 1));
    EXPECT_EQ(listener->events().back().value, kReasonLinkLost);
    EXPECT_EQ(listener->events().back().device, armband);
    ASSERT_TRUE(connectArmband()) << "the armband can be connected again";
}

TEST_F(Disconnecting, ADropDuringARequestedDisconnectReportsOneDisconnection) {
    start();
    ASSERT_TRUE(connectArmband());
    // Holding the callback thread keeps the disconnection pending across the drop.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    listener->setReaction([released](const Event& event) {
        if (event.name == "StateChanged") {
            released.wait();
        }
    });
    ASSERT_TRUE(simulation.controller->hubState(0));
    ASSERT_TRUE(listener->waitForCount("StateChanged", 1));
    ASSERT_EQ(armband->disconnect(), 0);
    simulation.controller->drop();
    release.set_value();
    ASSERT_TRUE(listener->waitForCount("DeviceDisconnected", 1));
    listener->setReaction(nullptr);
    // Connecting takes longer than disconnecting, so the pending disconnection
    // has had its turn by the time the armband is connected again.
    ASSERT_TRUE(connectArmband());
    EXPECT_EQ(listener->count("DeviceDisconnected"), 1u);
}

}  // namespace
}  // namespace tessel::sim::testing
