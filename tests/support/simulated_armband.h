#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "server/state/server_context.h"
#include "tessel/simulator.h"
#include "tests/support/capturing_client.h"

// A fast simulated armband behind a server's state of its own, for unit
// tests of the server's device handling. The test plays the main loop with the
// event pump.
class SimulatedArmband {
  public:
    explicit SimulatedArmband(double delayScale = 0.02, double streamSpeed = 1.0);
    ~SimulatedArmband();

    tessel::sim::Controller& wearer() { return *simulation.controller; }
    // Sends a command as a client would and lets the dispatcher handle it.
    void command(const std::vector<std::uint8_t>& message);
    // Handles events until a message starting with these bytes reached the
    // capturing client (true), or the time-out passed.
    bool waitForMessage(const std::vector<std::uint8_t>& prefix,
                        std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Handles events until `done` holds.
    bool pumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(20));
    void pumpFor(std::chrono::milliseconds duration);
    // Scans, connects and waits for 02 00 and 03 00.
    bool scanAndConnect();

  private:
    tessel::sim::Simulation simulation;

  public:
    ServerContext server;
    ScopedCapturingClient client{server.clientRegistry};
};
