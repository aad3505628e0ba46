#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>

#include "tests/support/temp_dir.h"

// The real server binary, started in a fresh working directory with its log
// going to server.log there. The server's port is fixed, so only one may run
// at a time.
class ServerProcess {
public:
    ServerProcess();
    // Stops the server if it still runs (SIGKILL after a grace period).
    ~ServerProcess();

    // Starts the server and waits until it accepts connections on its port.
    bool start(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    void signal(int signalNumber) const;
    // The exit code once the process has ended; nothing if it runs on after
    // the time-out. A process killed by a signal gives 128 + the signal.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    bool running() const;

    std::string log() const;
    // Waits until the log holds `text` `count` times.
    bool waitForLog(const std::string& text,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10),
                    int count = 1) const;
    int countInLog(const std::string& text) const;
    const std::string& dir() const { return workDir.path(); }
    std::string file(const std::string& name) const { return workDir.file(name); }

    static constexpr std::uint16_t kPort = 8888;

private:
    TempDir workDir;
    pid_t pid = -1;
    mutable std::optional<int> exitCode;  // set once the process has been reaped
};

// Waits until something accepts TCP connections on 127.0.0.1:port.
bool waitForPort(std::uint16_t port, std::chrono::milliseconds timeout);
// Waits until nothing accepts TCP connections on 127.0.0.1:port.
bool waitForPortClosed(std::uint16_t port, std::chrono::milliseconds timeout);
