// Requests on the armband's setting object.
#include <future>

#include "sim_test_support.h"

namespace tessel::sim::testing {
namespace {

using Settings = SimulatedArmband;

// Keeps the SDK callback thread busy inside a callback until released, so
// that what the test does meanwhile cannot race with queued completions.
class CallbackThreadHold {
  public:
    CallbackThreadHold(Controller& controller, RecordingListener& listener) {
        std::shared_future<void> released = release.get_future().share();
        listener.setReaction([released](const Event& event) {
            if (event.name == "StateChanged" && event.value == 424242) {
                released.wait();
            }
        });
        const std::size_t before = listener.count("StateChanged");
        EXPECT_TRUE(controller.hubState(424242));
        EXPECT_TRUE(listener.waitForCount("StateChanged", before + 1));
    }
    ~CallbackThreadHold() { letGo(); }
    void letGo() {
        if (!released) {
            released = true;
            release.set_value();
        }
    }

  private:
    std::promise<void> release;
    bool released = false;
};

TEST_F(Settings, ReportHardwareH3AndFirmwareV1_4_27) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    Completions done;
    setting->queryHardwareVersion(done.version());
    setting->queryFirmwareVersion(done.version());
    ASSERT_TRUE(done.waitForCount(2));
    EXPECT_EQ(done.all()[0].result, ResponseResult::Success);
    EXPECT_EQ(done.all()[0].text, L"H3");
    EXPECT_EQ(done.all()[1].result, ResponseResult::Success);
    EXPECT_EQ(done.all()[1].text, L"V1.4-27");
}

TEST_F(Settings, CompleteInTheOrderTheyWereMade) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    std::mutex lock;
    std::vector<int> order;
    const auto tag = [&](int n) {
        return [&, n](ResponseResult) {
            std::lock_guard<std::mutex> guard(lock);
            order.push_back(n);
        };
    };
    Completions last;
    setting->setDataNotifySwitch(kNotifyNone, tag(1));
    setting->openPackageId(1, tag(2));
    setting->setEmgRawDataConfig(650, 0x0F, 64, 8, tag(3));
    setting->queryFirmwareVersion(
        [&](ResponseResult result, const std::wstring&) { tag(4)(result); });
    setting->setDataNotifySwitch(kNotifyNone, tag(5));
    setting->setDataNotifySwitch(kNotifyNone, last.result());
    ASSERT_TRUE(last.waitForCount(1));
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(Settings, FailWithDisconnectedWhenTheArmbandIsNotConnected) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    simulation.controller->drop();
    Completions done;
    setting->setDataNotifySwitch(kNotifyEmgRaw, done.result());
    setting->openPackageId(1, done.result());
    setting->setEmgRawDataConfig(650, 0xFF, 128, 8, done.result());
    setting->queryHardwareVersion(done.version());
    ASSERT_TRUE(done.waitForCount(4));
    for (const Completion& completion : done.all()) {
        EXPECT_EQ(completion.result, ResponseResult::Disconnected);
        EXPECT_NE(completion.thread, std::this_thread::get_id());
        EXPECT_TRUE(completion.text.empty());
    }
}

TEST_F(Settings, FailWhenTheLinkIsLostBeforeTheAnswer) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    Completions done;
    {
        CallbackThreadHold hold(*simulation.controller, *listener);
        setting->setDataNotifySwitch(kNotifyEmgRaw, done.result());
        setting->queryFirmwareVersion(done.version());
        simulation.controller->drop();
    }
    ASSERT_TRUE(done.waitForCount(2));
    EXPECT_EQ(done.all()[0].result, ResponseResult::Disconnected);
    EXPECT_EQ(done.all()[1].result, ResponseResult::Disconnected);
    EXPECT_EQ(simulation.controller->status().streams, 0u) << "a lost request changes nothing";
}

struct RawConfig {
    std::uint32_t rate;
    std::uint8_t mask;
    std::uint8_t bytes;
    std::uint8_t bits;
    ResponseResult expected;
};

TEST_F(Settings, RawConfigurationAcceptsOnlyWhatTheArmbandCanStream) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    const RawConfig cases[] = {
        {650, 0xFF, 128, 8, ResponseResult::Success},
        {650, 0x01, 16, 8, ResponseResult::Success},
        {650, 0x55, 64, 8, ResponseResult::Success},
        {600, 0xFF, 128, 8, ResponseResult::InvalidParameter},   // another rate
        {650, 0x00, 0, 8, ResponseResult::InvalidParameter},     // no channel
        {650, 0x0F, 128, 8, ResponseResult::InvalidParameter},   // 4 channels, 8 channels' bytes
        {650, 0xFF, 127, 8, ResponseResult::InvalidParameter},   // not whole frames
        {650, 0xFF, 128, 12, ResponseResult::InvalidParameter},  // another resolution
    };
    for (const RawConfig& config : cases) {
        Completions done;
        setting->setEmgRawDataConfig(config.rate, config.mask, config.bytes, config.bits,
                                     done.result());
        ASSERT_TRUE(done.waitForCount(1));
        EXPECT_EQ(done.all()[0].result, config.expected)
            << config.rate << " " << int(config.mask) << " " << int(config.bytes) << " "
            << int(config.bits);
    }
    EXPECT_EQ(simulation.controller->status().channelMask, 0x55) << "the last good one holds";
}

TEST_F(Settings, RefuseStreamFlagsTheArmbandDoesNotKnow) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    Completions done;
    setting->setDataNotifySwitch(0x01, done.result());
    setting->setDataNotifySwitch(kNotifyEmgRaw | kNotifyGesture, done.result());
    ASSERT_TRUE(done.waitForCount(2));
    EXPECT_EQ(done.all()[0].result, ResponseResult::InvalidParameter);
    EXPECT_EQ(done.all()[1].result, ResponseResult::Success);
    EXPECT_EQ(simulation.controller->status().streams, kNotifyEmgRaw | kNotifyGesture);
}

TEST_F(Settings, NoSettingLeavesGetSettingEmptyUntilSettingIsBack) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    simulation.controller->setSettingAvailable(false);
    EXPECT_FALSE(armband->getSetting());
    Completions done;
    setting->queryHardwareVersion(done.version());
    ASSERT_TRUE(done.waitForCount(1));
    EXPECT_EQ(done.all()[0].result, ResponseResult::Success)
        << "a setting object taken before still works";
    simulation.controller->setSettingAvailable(true);
    EXPECT_EQ(armband->getSetting(), setting);
}

TEST_F(Settings, AcceptAnEmptyCallbackWithoutFailing) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    setting->setDataNotifySwitch(kNotifyGesture, nullptr);
    setting->trainModelUpdate(0, nullptr, nullptr);
    Completions done;
    setting->queryFirmwareVersion(done.version());
    ASSERT_TRUE(done.waitForCount(1));
    EXPECT_EQ(simulation.controller->status().streams, kNotifyGesture);
}

}  // namespace
}  // namespace tessel::sim::testing
