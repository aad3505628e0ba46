#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <chrono>
#include <functional>

#include "server/state/server_context.h"
#include "tessel/tessel.h"
#include "tests/support/capturing_client.h"

// An armband that answers every request at once, on the caller's thread, with
// the result it is told to give, and remembers what it was asked.
class FakeSetting : public tessel::DeviceSetting {
  public:
    struct RawConfig {
        std::uint32_t sampleRate;
        std::uint8_t channelMask;
        std::uint8_t packetBytes;
        std::uint8_t bitsPerSample;
    };

    void queryHardwareVersion(tessel::VersionCallback callback) override;
    void queryFirmwareVersion(tessel::VersionCallback callback) override;
    void trainModelUpdate(std::uint32_t length, const std::uint8_t* data,
                          tessel::ProgressCallback callback) override;
    void setDataNotifySwitch(std::uint32_t flags, tessel::ResultCallback callback) override;
    void openPackageId(std::uint32_t enable, tessel::ResultCallback callback) override;
    void setEmgRawDataConfig(std::uint32_t sampleRate, std::uint8_t channelMask,
                             std::uint8_t packetBytes, std::uint8_t bitsPerSample,
                             tessel::ResultCallback callback) override;

    std::vector<std::uint32_t> switches() const;
    std::vector<RawConfig> rawConfigs() const;
    std::vector<std::uint8_t> lastUpload() const;

    tessel::ResponseResult result = tessel::ResponseResult::Success;

  private:
    mutable std::mutex lock;
    std::vector<std::uint32_t> switchFlags;
    std::vector<RawConfig> configs;
    std::vector<std::uint8_t> upload;
};

class FakeDevice : public tessel::Device {
  public:
    tessel::ConnectionState getConnectionState() override { return state; }
    int connect(int) override { return 0; }
    int disconnect() override { return 0; }
    std::shared_ptr<tessel::DeviceSetting> getSetting() override { return setting; }

    tessel::ConnectionState state = tessel::Connected;
    std::shared_ptr<FakeSetting> setting = std::make_shared<FakeSetting>();
};

// A hub that accepts every call and counts scans.
class FakeHub : public tessel::Hub {
  public:
    int init(int) override { return 0; }
    int deinit() override { return 0; }
    void setMode(int) override {}
    int registerListener(std::weak_ptr<tessel::HubListener>) override { return 0; }
    int unregisterListener(std::weak_ptr<tessel::HubListener>) override { return 0; }
    int startScan(std::uint8_t) override { return ++scans, scanResult; }
    int stopScan() override { return ++stops, 0; }
    int run(std::int64_t) override { return tessel::kRunTimeout; }

    int scans = 0;
    int stops = 0;
    int scanResult = 0;
};

// A server's state over a fake hub holding a fake, connected armband, with a
// capturing client; the test plays the main loop (event_pump.h).
struct FakeArmband {
    FakeArmband();
    // Sends a command as `client` would (or a client of no identity) and lets
    // the dispatcher handle it.
    void command(const std::vector<std::uint8_t>& message);
    // Handles events until `done` holds.
    bool pumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

    std::shared_ptr<FakeHub> fakeHub = std::make_shared<FakeHub>();
    std::shared_ptr<FakeDevice> device = std::make_shared<FakeDevice>();
    ServerContext server{fakeHub};
    ScopedCapturingClient client{server.clientRegistry};
};
