// The simulated armband's wearer control, fed any lines: every line gets one
// answer beginning "ok" or "error: ", `status` answers one line of valid JSON,
// and no word breaks the armband's own state.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz/fuzz_support.h"
#include "tessel/sim/control_protocol.h"
#include "tessel/simulator.h"

namespace {

tessel::sim::Simulation& simulation() {
    static tessel::sim::Simulation made = [] {
        tessel::sim::Options options;
        options.delayScale = 0.0;
        options.streamSpeed = 20.0;
        options.controlPort = tessel::sim::kNoControlPort;
        tessel::sim::Simulation sim = tessel::sim::makeSimulation(options);
        sim.hub->init(0);
        return sim;
    }();
    return made;
}

// `replay PATH` reads any file the server may read; here only this directory's.
bool readsOutsideWorkDir(std::string_view line) {
    const std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string_view::npos) {
        return false;
    }
    std::string word(line.substr(start, 6));
    for (char& c : word) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return word == "replay" && line.find('/') != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzWorkingDirectory();
    simulation();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tessel::sim::Controller& controller = *simulation().controller;
    FuzzInput input(data, size);
    while (!input.empty()) {
        const std::string_view line = input.until('\n');
        if (readsOutsideWorkDir(line)) {
            continue;
        }
        const std::string answer = controller.command(line);
        fuzzCheck(answer.starts_with("ok") || answer.starts_with("error: "),
                  "every line is answered ok or error");
        if (answer.starts_with("ok {")) {
            fuzzCheck(nlohmann::json::accept(answer.substr(3)), "status is JSON");
        }
    }
    const tessel::sim::Status status = controller.status();
    fuzzCheck(status.day <= 1000000, "the day stays within its range");
    fuzzCheck(nlohmann::json::accept(tessel::sim::statusJson(status)), "status is JSON");
    controller.reset();
    return 0;
}
