// The process's one hub: the simulated armband with its default options
// (realistic delays, seed 1, the wearer control on 127.0.0.1:8889).
#include "tessel/simulator.h"
#include "tessel/tessel.h"

namespace tessel {

std::shared_ptr<Hub> HubManager::getHubInstance(const std::wstring&) {
    static const sim::Simulation simulation = sim::makeSimulation(sim::Options{});
    return simulation.hub;
}

}  // namespace tessel
