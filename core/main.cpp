// The server's command line, and the simulated armband it is wired to.
#include <cstdio>
#include <string>
#include <vector>

#include "core/application.h"
#include "core/log.h"
#include "core/server_options.h"
#include "tessel/simulator.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    ServerOptions options;
    std::string error;
    switch (parseServerOptions(arguments, options, error)) {
        case OptionsOutcome::Help:
            std::fputs(serverUsage().c_str(), stdout);
            return 0;
        case OptionsOutcome::Invalid:
            std::fprintf(stderr, "quillon-server: %s\n\n%s", error.c_str(), serverUsage().c_str());
            return 2;
        case OptionsOutcome::Run:
            break;
    }

    tessel::sim::Options armband;
    armband.controlPort =
        options.simControlPort == 0 ? tessel::sim::kAnyFreeControlPort : options.simControlPort;
    armband.streamSpeed = options.simSpeed;
    armband.delayScale = 1.0 / options.simSpeed;
    tessel::sim::setProcessOptions(armband);

    const auto logWearerControl = [&options] {
        if (options.simControlPortGiven) {
            logLine("simulated armband: wearer control on 127.0.0.1:%d",
                    tessel::sim::processController()->controlPort());
        }
    };
    return runServer(options, logWearerControl);
}
