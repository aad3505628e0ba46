#include "sim_device.h"

#include "armband.h"

namespace tessel::sim {

ConnectionState SimDevice::getConnectionState() {
    const auto owner = armband.lock();
    return owner ? owner->connectionState() : ConnectionState::Disconnected;
}

// The connection mode is accepted as given: the armband has one way to connect.
int SimDevice::connect(int) {
    const auto owner = armband.lock();
    return owner ? owner->connect() : kNotInitialised;
}

int SimDevice::disconnect() {
    const auto owner = armband.lock();
    return owner ? owner->disconnect() : kNotInitialised;
}

std::shared_ptr<DeviceSetting> SimDevice::getSetting() {
    const auto owner = armband.lock();
    return owner ? owner->setting() : nullptr;
}

void SimSetting::queryHardwareVersion(VersionCallback callback) {
    if (const auto owner = armband.lock()) {
        owner->queryVersion(Operation::QueryHardwareVersion, std::move(callback));
    }
}

void SimSetting::queryFirmwareVersion(VersionCallback callback) {
    if (const auto owner = armband.lock()) {
        owner->queryVersion(Operation::QueryFirmwareVersion, std::move(callback));
    }
}

void SimSetting::trainModelUpdate(std::uint32_t length, const std::uint8_t* data,
                                  ProgressCallback callback) {
    if (const auto owner = armband.lock()) {
        owner->trainModelUpdate(length, data, std::move(callback));
    }
}

void SimSetting::setDataNotifySwitch(std::uint32_t flags, ResultCallback callback) {
    if (const auto owner = armband.lock()) {
        owner->setDataNotifySwitch(flags, std::move(callback));
    }
}

void SimSetting::openPackageId(std::uint32_t enable, ResultCallback callback) {
    if (const auto owner = armband.lock()) {
        owner->openPackageId(enable, std::move(callback));
    }
}

void SimSetting::setEmgRawDataConfig(std::uint32_t sampleRate, std::uint8_t channelMask,
                                     std::uint8_t packetBytes, std::uint8_t bitsPerSample,
                                     ResultCallback callback) {
    if (const auto owner = armband.lock()) {
        owner->setEmgRawDataConfig(sampleRate, channelMask, packetBytes, bitsPerSample,
                                   std::move(callback));
    }
}

SimHub::~SimHub() {
    armband->deinit();
}

// The port argument names a serial adapter on a real hub; the simulated
// radio needs none, so any value is accepted.
int SimHub::init(int) {
    return armband->init();
}

int SimHub::deinit() {
    return armband->deinit();
}

void SimHub::setMode(int) {}

int SimHub::registerListener(std::weak_ptr<HubListener> listener) {
    return armband->registerListener(std::move(listener));
}

int SimHub::unregisterListener(std::weak_ptr<HubListener> listener) {
    return armband->unregisterListener(std::move(listener));
}

// The armband is always within range, so every threshold finds it.
int SimHub::startScan(std::uint8_t) {
    return armband->startScan();
}

int SimHub::stopScan() {
    return armband->stopScan();
}

int SimHub::run(std::int64_t milliseconds) {
    // A local owner keeps the Armband's wait alive even if this hub is
    // destroyed while the hub thread waits in here.
    const std::shared_ptr<Armband> owner = armband;
    return owner->run(milliseconds);
}

}  // namespace tessel::sim
