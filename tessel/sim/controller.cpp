#include "armband.h"
#include "control_protocol.h"
#include "sim_device.h"
#include "tessel/simulator.h"

namespace tessel::sim {
namespace {

bool isGesture(int gesture) {
    return gesture >= 0 && gesture < kGestures;
}

}  // namespace

Controller::Controller(std::shared_ptr<Armband> owner) : armband(std::move(owner)) {}

std::string Controller::command(std::string_view line) {
    return runControlCommand(*armband, line);
}

bool Controller::perform(int gesture) {
    if (!isGesture(gesture)) {
        return false;
    }
    armband->setAction(WearerAction{WearerAction::Perform, static_cast<std::uint8_t>(gesture)});
    return true;
}

bool Controller::hold(int gesture) {
    if (!isGesture(gesture)) {
        return false;
    }
    armband->setAction(WearerAction{WearerAction::Hold, static_cast<std::uint8_t>(gesture)});
    return true;
}

bool Controller::profile(std::string_view name, std::uint32_t day) {
    const WearerProfile* kind = wearerProfileNamed(name);
    if (kind == nullptr) {
        return false;
    }
    armband->setProfile(*kind, day);
    return true;
}

void Controller::rest() {
    armband->setAction(WearerAction{});
}

void Controller::drop() {
    armband->drop();
}

void Controller::setPresent(bool present) {
    armband->setPresent(present);
}

void Controller::fail(Operation operation, std::uint32_t count) {
    armband->addFault(operation, false, count);
}

void Controller::mute(Operation operation, std::uint32_t count) {
    armband->addFault(operation, true, count);
}

void Controller::setSettingAvailable(bool available) {
    armband->setSettingAvailable(available);
}

bool Controller::hubState(std::int32_t state) {
    return armband->postHubState(state);
}

bool Controller::deviceStatus(std::uint8_t status) {
    return armband->postDeviceStatus(status);
}

bool Controller::replay(const std::string& path) {
    std::string error;
    return armband->startReplay(path, error);
}

void Controller::stopReplay() {
    armband->stopReplay();
}

void Controller::seed(std::uint32_t seed) {
    armband->reseed(seed);
}

void Controller::reset() {
    armband->reset();
}

Status Controller::status() {
    return armband->status();
}

std::vector<std::uint8_t> Controller::lastModel() {
    return armband->lastModel();
}

int Controller::controlPort() {
    return armband->controlPort();
}

Simulation makeSimulation(const Options& options) {
    const std::shared_ptr<Armband> armband = Armband::create(options);
    return Simulation{std::make_shared<SimHub>(armband), std::make_shared<Controller>(armband)};
}

}  // namespace tessel::sim
