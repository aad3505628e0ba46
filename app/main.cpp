// The server's command line, the simulated armband it is wired to, and the
// server made of them.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/log.h"
#include "server/console_control.h"
#include "server/server.h"
#include "server/server_options.h"
#include "tessel/simulator.h"

int main(int argc, char** argv) {
    // Before any thread starts, so that every thread leaves SIGINT and SIGTERM
    // to the server's signal watcher.
    blockConsoleSignals();
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

    if (!options.dataDir.empty()) {
        std::error_code made;
        std::filesystem::create_directories(options.dataDir, made);
        if (made || ::chdir(options.dataDir.c_str()) != 0) {
            const std::string reason = made ? made.message() : std::strerror(errno);
            std::fprintf(stderr, "quillon-server: cannot use the data directory \"%s\": %s\n",
                         options.dataDir.c_str(), reason.c_str());
            return 2;
        }
        logLine("data directory: %s", std::filesystem::current_path().c_str());
    }

    tessel::sim::Options armband;
    armband.controlPort =
        options.simControlPort == 0 ? tessel::sim::kAnyFreeControlPort : options.simControlPort;
    armband.streamSpeed = options.simSpeed;
    armband.delayScale = 1.0 / options.simSpeed;
    tessel::sim::setProcessOptions(armband);

    std::shared_ptr<tessel::Hub> hub =
        tessel::HubManager::getHubInstance(L"Quillon Server Application");
    if (!hub) {
        logLine("hub instance not available");
        return 1;
    }
    const auto logWearerControl = [&options] {
        if (options.simControlPortGiven) {
            logLine("simulated armband: wearer control on 127.0.0.1:%d",
                    tessel::sim::processController()->controlPort());
        }
    };
    Server server(options, std::move(hub));
    return server.run(logWearerControl);
}
