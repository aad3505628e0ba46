#include "tests/support/fake_device.h"

#include "server/commands/client_commands.h"
#include "tests/support/event_pump.h"

void FakeSetting::queryHardwareVersion(tessel::VersionCallback callback) {
    callback(result, L"H3");
}

void FakeSetting::queryFirmwareVersion(tessel::VersionCallback callback) {
    callback(result, L"V1.4-27");
}

void FakeSetting::trainModelUpdate(std::uint32_t length, const std::uint8_t* data,
                                   tessel::ProgressCallback callback) {
    {
        std::lock_guard<std::mutex> guard(lock);
        upload.assign(data, data + length);
    }
    callback(result, 100);
}

void FakeSetting::setDataNotifySwitch(std::uint32_t flags, tessel::ResultCallback callback) {
    {
        std::lock_guard<std::mutex> guard(lock);
        switchFlags.push_back(flags);
    }
    callback(result);
}

void FakeSetting::openPackageId(std::uint32_t, tessel::ResultCallback callback) {
    callback(result);
}

void FakeSetting::setEmgRawDataConfig(std::uint32_t sampleRate, std::uint8_t channelMask,
                                      std::uint8_t packetBytes, std::uint8_t bitsPerSample,
                                      tessel::ResultCallback callback) {
    {
        std::lock_guard<std::mutex> guard(lock);
        configs.push_back({sampleRate, channelMask, packetBytes, bitsPerSample});
    }
    callback(result);
}

std::vector<std::uint32_t> FakeSetting::switches() const {
    std::lock_guard<std::mutex> guard(lock);
    return switchFlags;
}

std::vector<FakeSetting::RawConfig> FakeSetting::rawConfigs() const {
    std::lock_guard<std::mutex> guard(lock);
    return configs;
}

std::vector<std::uint8_t> FakeSetting::lastUpload() const {
    std::lock_guard<std::mutex> guard(lock);
    return upload;
}

FakeArmband::FakeArmband() {
    server.handle->onDeviceFound(device);
}

void FakeArmband::command(const std::vector<std::uint8_t>& message) {
    handleClientCommands(server, Origin{}, message.data(), message.size());
}

bool FakeArmband::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return pumpEventsUntil(server, done, timeout);
}
