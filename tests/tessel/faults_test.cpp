// Breaking the armband on purpose: failed and muted requests, device status.
#include "sim_test_support.h"

namespace tessel::sim::testing {
namespace {

using Faults = SimulatedArmband;

// Issues one request of the operation on a connected armband.
void request(Operation operation, DeviceSetting& setting, Completions& done) {
    static const std::vector<std::uint8_t> image = [] {
        std::vector<std::uint8_t> bytes(48 + 16, 0);
        bytes[0] = 0x01;  // one channel, two gestures: 2 values of one pair
        bytes[1] = 2;
        bytes[2] = 16;
        return bytes;
    }();
    switch (operation) {
        case Operation::SetDataNotifySwitch:
            setting.setDataNotifySwitch(kNotifyNone, done.result());
            break;
        case Operation::SetEmgRawDataConfig:
            setting.setEmgRawDataConfig(650, 0x03, 32, 8, done.result());
            break;
        case Operation::TrainModelUpdate:
            setting.trainModelUpdate(static_cast<std::uint32_t>(image.size()), image.data(),
                                     done.progress());
            break;
        case Operation::QueryHardwareVersion:
            setting.queryHardwareVersion(done.version());
            break;
        case Operation::QueryFirmwareVersion:
            setting.queryFirmwareVersion(done.version());
            break;
        default:
            FAIL() << "not a setting request";
    }
}

// Waits for the request's last completion: the 100 % of an upload, else the one.
bool finished(Operation operation, Completions& done) {
    return operation == Operation::TrainModelUpdate ? done.waitUntilLast(100)
                                                    : done.waitForCount(1);
}

const Operation kSettingRequests[] = {
    Operation::SetDataNotifySwitch, Operation::SetEmgRawDataConfig, Operation::TrainModelUpdate,
    Operation::QueryHardwareVersion, Operation::QueryFirmwareVersion};

TEST_F(Faults, AFailedRequestCompletesWithAFailureAndTheNextOneSucceeds) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    for (const Operation operation : kSettingRequests) {
        simulation.controller->fail(operation);
        Completions failed;
        request(operation, *setting, failed);
        ASSERT_TRUE(failed.waitForCount(1)) << operationName(operation);
        letDueCallbacksRun(std::chrono::milliseconds(10));
        ASSERT_EQ(failed.all().size(), 1u) << operationName(operation);
        EXPECT_EQ(failed.all()[0].result, ResponseResult::Failed) << operationName(operation);
        EXPECT_TRUE(failed.all()[0].text.empty());

        Completions next;
        request(operation, *setting, next);
        ASSERT_TRUE(finished(operation, next)) << operationName(operation);
        EXPECT_EQ(next.all().back().result, ResponseResult::Success) << operationName(operation);
    }
}

TEST_F(Faults, AMutedRequestNeverCompletesAndTheNextOneDoes) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    for (const Operation operation : kSettingRequests) {
        simulation.controller->mute(operation);
        Completions muted;
        request(operation, *setting, muted);
        Completions next;
        request(operation, *setting, next);
        ASSERT_TRUE(finished(operation, next)) << operationName(operation);
        letDueCallbacksRun(std::chrono::milliseconds(20));
        EXPECT_TRUE(muted.all().empty()) << operationName(operation);
    }
}

TEST_F(Faults, CountRequestsOfTheirOperationOnly) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    simulation.controller->fail(Operation::SetDataNotifySwitch, 3);
    Completions done;
    setting->queryFirmwareVersion(done.version());  // another operation: untouched
    for (int i = 0; i < 4; ++i) {
        setting->setDataNotifySwitch(kNotifyGesture, done.result());
    }
    ASSERT_TRUE(done.waitForCount(5));
    const auto all = done.all();
    EXPECT_EQ(all[0].result, ResponseResult::Success);
    EXPECT_EQ(all[1].result, ResponseResult::Failed);
    EXPECT_EQ(all[2].result, ResponseResult::Failed);
    EXPECT_EQ(all[3].result, ResponseResult::Failed);
    EXPECT_EQ(all[4].result, ResponseResult::Success);
}

TEST_F(Faults, ACountOfZeroClearsWhatIsPending) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    simulation.controller->fail(Operation::QueryHardwareVersion, 5);
    simulation.controller->fail(Operation::QueryHardwareVersion, 0);
    Completions done;
    setting->queryHardwareVersion(done.version());
    ASSERT_TRUE(done.waitForCount(1));
    EXPECT_EQ(done.all()[0].result, ResponseResult::Success);
}

TEST_F(Faults, AFailedConnectReturnsNonZeroAndLeavesTheArmbandDisconnected) {
    start();
    ASSERT_TRUE(findArmband());
    simulation.controller->fail(Operation::Connect);
    EXPECT_NE(armband->connect(1), 0);
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Disconnected);
    ASSERT_TRUE(connectArmband()) << "the next connect works";
}

TEST_F(Faults, AMutedConnectIsAcceptedAndNeverCompletesUntilDropped) {
    start();
    ASSERT_TRUE(findArmband());
    simulation.controller->mute(Operation::Connect);
    EXPECT_EQ(armband->connect(1), 0);
    letDueCallbacksRun();
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Connecting);
    EXPECT_EQ(listener->count("DeviceConnected"), 0u);
    simulation.controller->drop();
    ASSERT_TRUE(listener->waitForCount("DeviceConnectFailed", 1));
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Disconnected);
    ASSERT_TRUE(connectArmband());
}

TEST_F(Faults, AFailedStartScanReturnsNonZeroAndFindsNothing) {
    start();
    simulation.controller->fail(Operation::StartScan);
    EXPECT_NE(simulation.hub->startScan(0xD0), 0);
    letDueCallbacksRun();
    EXPECT_EQ(listener->count("DeviceFound") + listener->count("ScanFinished"), 0u);
}

TEST_F(Faults, AMutedStartScanIsAcceptedAndNeverReports) {
    start();
    simulation.controller->mute(Operation::StartScan);
    EXPECT_EQ(simulation.hub->startScan(0xD0), 0);
    letDueCallbacksRun();  // longer than a whole scan
    EXPECT_EQ(listener->count("DeviceFound") + listener->count("ScanFinished"), 0u);
    EXPECT_TRUE(findArmband()) << "the next scan works";
}

TEST_F(Faults, DeviceStatusReachesTheListenerOnlyWhileConnected) {
    start();
    EXPECT_FALSE(simulation.controller->deviceStatus(2));
    ASSERT_TRUE(connectArmband());
    ASSERT_TRUE(simulation.controller->deviceStatus(9));
    ASSERT_TRUE(listener->waitForCount("DeviceStatusChanged", 1));
    const auto events = listener->events();
    EXPECT_EQ(events.back().value, 9);
    EXPECT_EQ(events.back().device, armband);
}

TEST_F(Faults, ResetClearsEveryFaultButKeepsTheConnection) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    simulation.controller->fail(Operation::QueryFirmwareVersion, 10);
    simulation.controller->setPresent(false);
    simulation.controller->setSettingAvailable(false);
    simulation.controller->reset();
    EXPECT_EQ(armband->getConnectionState(), ConnectionState::Connected);
    EXPECT_TRUE(armband->getSetting());
    EXPECT_TRUE(simulation.controller->status().present);
    Completions done;
    setting->queryFirmwareVersion(done.version());
    ASSERT_TRUE(done.waitForCount(1));
    EXPECT_EQ(done.all()[0].result, ResponseResult::Success);
}

}  // namespace
}  // namespace tessel::sim::testing
