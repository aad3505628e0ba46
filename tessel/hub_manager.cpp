// The process's one hub: the simulated armband, with the options that the
// program set before it first asked for the hub (by default realistic delays,
// seed 1, the wearer control on 127.0.0.1:8889).
#include <mutex>

#include "base/mutex.h"
#include "tessel/simulator.h"
#include "tessel/tessel.h"

namespace tessel {
namespace {

struct ProcessSimulation {
    Mutex lock;
    sim::Options options GUARDED_BY(lock);  // used when the simulation is made
    std::once_flag made;
    sim::Simulation simulation;
};

ProcessSimulation& processSimulation() {
    static ProcessSimulation instance;
    return instance;
}

const sim::Simulation& theSimulation() {
    ProcessSimulation& process = processSimulation();
    std::call_once(process.made, [&process] {
        MutexLock guard(process.lock);
        process.simulation = sim::makeSimulation(process.options);
    });
    return process.simulation;
}

}  // namespace

namespace sim {

void setProcessOptions(const Options& options) {
    ProcessSimulation& process = processSimulation();
    MutexLock guard(process.lock);
    process.options = options;
}

std::shared_ptr<Controller> processController() {
    return theSimulation().controller;
}

}  // namespace sim

std::shared_ptr<Hub> HubManager::getHubInstance(const std::wstring&) {
    return theSimulation().hub;
}

}  // namespace tessel
