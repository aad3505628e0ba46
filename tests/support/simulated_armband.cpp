#include "tests/support/simulated_armband.h"

#include <algorithm>

#include "server/commands/client_commands.h"
#include "tests/support/event_pump.h"

namespace {

tessel::sim::Simulation makeFastSimulation(double delayScale, double streamSpeed) {
    tessel::sim::Options options;
    options.delayScale = delayScale;
    options.streamSpeed = streamSpeed;
    options.controlPort = tessel::sim::kNoControlPort;
    return tessel::sim::makeSimulation(options);
}

}  // namespace

SimulatedArmband::SimulatedArmband(double delayScale, double streamSpeed)
    : simulation(makeFastSimulation(delayScale, streamSpeed)), server(simulation.hub) {
    server.handle->setResponseTimeout(std::chrono::milliseconds(500));
    simulation.hub->registerListener(server.handle);
    simulation.hub->init(0);
}

SimulatedArmband::~SimulatedArmband() {
    simulation.hub->unregisterListener(server.handle);
    simulation.hub->deinit();
}

void SimulatedArmband::command(const std::vector<std::uint8_t>& message) {
    handleClientCommands(server, Origin{}, message.data(), message.size());
}

bool SimulatedArmband::pumpUntil(const std::function<bool()>& done,
                                 std::chrono::milliseconds timeout) {
    return pumpEventsUntil(server, done, timeout);
}

void SimulatedArmband::pumpFor(std::chrono::milliseconds duration) {
    pumpEventsFor(server, duration);
}

bool SimulatedArmband::waitForMessage(const std::vector<std::uint8_t>& prefix,
                                      std::chrono::milliseconds timeout) {
    return pumpUntil(
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
