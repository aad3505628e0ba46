#pragma once

#include <sys/types.h>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// How fast tests run the simulated armband: a 30 s recording window takes 2 s.
inline constexpr double kTestSpeed = 15.0;
// A sped-up window closes on a timer of 2 s; on a loaded machine (two sanitizer
// passes at once) the timer or the armband's stream runs a few hundred
// milliseconds late, which is several seconds of EMG at 15x. A window's EMG is
// then 30 s within this share. The real-speed journey checks the exact length.
inline constexpr double kSpedUpWindowShare = 0.2;

// The real server binary, started in a fresh working directory with its log
// going to server.log there, on free ports of its own, so that any number run
// at once.
class ServerProcess {
  public:
    // `speed` is the server's --sim-speed; `extraArguments` follow the options
    // that choose free ports and the speed.
    explicit ServerProcess(double speed = kTestSpeed, std::vector<std::string> extraArguments = {});
    // Stops the server if it still runs (SIGKILL after a grace period).
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the server and waits until it has logged its ports and accepts
    // connections. Once it has ended, it may be started again in the same
    // working directory (on new ports, with a fresh server.log).
    bool start(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The WebSocket port and the wearer control port; 0 until started.
    std::uint16_t port() const { return serverPort; }
    std::uint16_t simPort() const { return wearerPort; }
    // quillonctl's arguments for this server: its ports, then `arguments`.
    std::vector<std::string> ctl(std::vector<std::string> arguments) const;
    // One command to the simulated armband's wearer control; its answer.
    std::string sim(const std::string& line) const;
    double speed() const { return simSpeed; }
    // A duration of simulated EMG time as the real time it takes at this speed.
    std::chrono::milliseconds realTime(std::chrono::milliseconds simulated) const;
    void signal(int signalNumber) const;
    // The exit code once the process has ended; nothing if it runs on after
    // the time-out. A process killed by a signal gives 128 + the signal.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    bool running() const;
    pid_t processId() const { return pid; }

    std::string log() const;
    // Waits until the log holds `text` `count` times.
    bool waitForLog(const std::string& text,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10),
                    int count = 1) const;
    int countInLog(const std::string& text) const;
    const std::string& dir() const { return workDir.path(); }
    std::string file(const std::string& name) const { return workDir.file(name); }

  private:
    TempDir workDir;
    double simSpeed;
    std::vector<std::string> arguments;
    std::uint16_t serverPort = 0;
    std::uint16_t wearerPort = 0;
    pid_t pid = -1;
    mutable std::optional<int> exitCode;  // set once the process has been reaped
};

// The number after `prefix` in the first line of `log` that holds it; 0 when none.
std::uint16_t portAfter(const std::string& log, const std::string& prefix);
// Waits until something accepts TCP connections on 127.0.0.1:port.
bool waitForPort(std::uint16_t port, std::chrono::milliseconds timeout);
// Waits until nothing accepts TCP connections on 127.0.0.1:port.
bool waitForPortClosed(std::uint16_t port, std::chrono::milliseconds timeout);
