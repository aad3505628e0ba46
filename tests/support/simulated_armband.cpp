#include "tests/support/simulated_armband.h"

#include <algorithm>

#include "commands/client_commands.h"
#include "device/acquisition_state.h"
#include "device/tessel_handle.h"
#include "tests/support/event_pump.h"

SimulatedArmband::SimulatedArmband(double delayScale, double streamSpeed) {
    resetAcquisitionState();
    tessel::sim::Options options;
    options.delayScale = delayScale;
    options.streamSpeed = streamSpeed;
    options.controlPort = tessel::sim::kNoControlPort;
    simulation = tessel::sim::makeSimulation(options);
    hub = simulation.hub;
    handle = std::make_shared<TesselHandle>(hub);
    handle->setResponseTimeout(std::chrono::milliseconds(500));
    hub->registerListener(handle);
    hub->init(0);
}

SimulatedArmband::~SimulatedArmband() {
    hub->unregisterListener(handle);
    hub->deinit();
    handle.reset();
    hub.reset();
}

void SimulatedArmband::command(const std::vector<std::uint8_t>& message) {
    handleClientCommands(message.data(), message.size());
}

bool SimulatedArmband::waitForMessage(const std::vector<std::uint8_t>& prefix,
                                      std::chrono::milliseconds timeout) {
    return pumpEventsUntil(
        [&] {
            const auto messages = client->messages();
            return std::any_of(messages.begin(), messages.end(), [&](const auto& message) {
                return message.size() >= prefix.size() &&
                       std::equal(prefix.begin(), prefix.end(), message.begin());
            });
        },
        timeout);
}

bool SimulatedArmband::scanAndConnect() {
    command({0x02, 0x00});
    if (!waitForMessage({0x02, 0x00})) {
        return false;
    }
    command({0x03});
    return waitForMessage({0x03, 0x00});
}
