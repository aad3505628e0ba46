// The Device, DeviceSetting and Hub that the SDK hands out, as thin faces of
// the Armband. Device and setting hold the Armband weakly: once the hub and its
// controller are gone they report a disconnected armband and drop requests.
#pragma once

#include <memory>

#include "tessel/tessel.h"

namespace tessel::sim {

class Armband;

class SimDevice final : public Device {
  public:
    explicit SimDevice(std::weak_ptr<Armband> armband) : armband(std::move(armband)) {}
    ConnectionState getConnectionState() override;
    int connect(int mode) override;
    int disconnect() override;
    std::shared_ptr<DeviceSetting> getSetting() override;

  private:
    std::weak_ptr<Armband> armband;
};

class SimSetting final : public DeviceSetting {
  public:
    explicit SimSetting(std::weak_ptr<Armband> armband) : armband(std::move(armband)) {}
    void queryHardwareVersion(VersionCallback callback) override;
    void queryFirmwareVersion(VersionCallback callback) override;
    void trainModelUpdate(std::uint32_t length, const std::uint8_t* data,
                          ProgressCallback callback) override;
    void setDataNotifySwitch(std::uint32_t flags, ResultCallback callback) override;
    void openPackageId(std::uint32_t enable, ResultCallback callback) override;
    void setEmgRawDataConfig(std::uint32_t sampleRate, std::uint8_t channelMask,
                             std::uint8_t packetBytes, std::uint8_t bitsPerSample,
                             ResultCallback callback) override;

  private:
    std::weak_ptr<Armband> armband;
};

// Owns the Armband; its destruction stops the Armband's threads.
class SimHub final : public Hub {
  public:
    explicit SimHub(std::shared_ptr<Armband> armband) : armband(std::move(armband)) {}
    ~SimHub() override;
    int init(int comPort) override;
    int deinit() override;
    void setMode(int mode) override;
    int registerListener(std::weak_ptr<HubListener> listener) override;
    int unregisterListener(std::weak_ptr<HubListener> listener) override;
    int startScan(std::uint8_t rssiThreshold) override;
    int stopScan() override;
    int run(std::int64_t milliseconds) override;

  private:
    const std::shared_ptr<Armband> armband;
};

}  // namespace tessel::sim
