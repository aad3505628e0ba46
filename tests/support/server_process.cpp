#include "tests/support/server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <thread>

#include "tests/support/wire_client.h"

namespace {

bool portAccepts(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

bool waitForPort(std::uint16_t port, std::chrono::milliseconds timeout) {
    return waitUntil([port] { return portAccepts(port); }, timeout);
}

bool waitForPortClosed(std::uint16_t port, std::chrono::milliseconds timeout) {
    return waitUntil([port] { return !portAccepts(port); }, timeout);
}

ServerProcess::ServerProcess(double speed, std::vector<std::string> extraArguments)
    : simSpeed(speed), arguments(std::move(extraArguments)) {}

ServerProcess::~ServerProcess() {
    if (running()) {
        signal(SIGTERM);
        if (!waitForExit(std::chrono::seconds(5))) {
            signal(SIGKILL);
            waitForExit(std::chrono::seconds(5));
        }
    }
}

std::uint16_t portAfter(const std::string& log, const std::string& prefix) {
    const std::size_t at = log.find(prefix);
    if (at == std::string::npos) {
        return 0;
    }
    unsigned long port = 0;
    for (std::size_t i = at + prefix.size(); i < log.size() && std::isdigit(log[i]); ++i) {
        port = port * 10 + static_cast<unsigned long>(log[i] - '0');
        if (port > 65535) {
            return 0;
        }
    }
    return static_cast<std::uint16_t>(port);
}

std::vector<std::string> ServerProcess::ctl(std::vector<std::string> arguments) const {
    char speedText[32];
    std::snprintf(speedText, sizeof speedText, "%g", simSpeed);
    arguments.insert(arguments.begin(), {"--port", std::to_string(serverPort), "--sim-port",
                                         std::to_string(wearerPort), "--sim-speed", speedText});
    return arguments;
}

std::string ServerProcess::sim(const std::string& line) const {
    return simCommand(line, wearerPort);
}

std::chrono::milliseconds ServerProcess::realTime(std::chrono::milliseconds simulated) const {
    return std::chrono::milliseconds(
        static_cast<std::int64_t>(static_cast<double>(simulated.count()) / simSpeed + 0.5));
}

bool ServerProcess::start(std::chrono::milliseconds timeout) {
    if (running()) {
        return false;
    }
    exitCode.reset();
    serverPort = 0;
    wearerPort = 0;
    const std::string logPath = workDir.file("server.log");
    char speedText[32];
    std::snprintf(speedText, sizeof speedText, "%g", simSpeed);
    std::vector<std::string> command{"--port", "0",           "--sim-control-port",
                                     "0",      "--sim-speed", speedText};
    command.insert(command.end(), arguments.begin(), arguments.end());
    pid = fork();
    if (pid == 0) {
        const int logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (logFd < 0 || chdir(workDir.path().c_str()) != 0) {
            _exit(127);
        }
        dup2(logFd, STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(QUILLON_SERVER_BINARY)};
        for (const std::string& argument : command) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(QUILLON_SERVER_BINARY, argv.data());
        _exit(127);
    }
    if (pid < 0) {
        return false;
    }
    const auto ready = [this] {
        if (!running()) {
            return true;
        }
        const std::string text = log();
        serverPort = portAfter(text, "uWS server listening on port ");
        wearerPort = portAfter(text, "wearer control on 127.0.0.1:");
        return serverPort != 0 && wearerPort != 0 && portAccepts(serverPort);
    };
    return waitUntil(ready, timeout) && running();
}

void ServerProcess::signal(int signalNumber) const {
    if (pid > 0) {
        kill(pid, signalNumber);
    }
}

std::optional<int> ServerProcess::waitForExit(std::chrono::milliseconds timeout) {
    waitUntil([this] { return !running(); }, timeout);
    return exitCode;
}

bool ServerProcess::running() const {
    if (pid <= 0 || exitCode) {
        return false;
    }
    int status = 0;
    const pid_t result = waitpid(pid, &status, WNOHANG);
    if (result == 0) {
        return true;
    }
    if (result == pid) {
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else {
        exitCode = -1;
    }
    return false;
}

std::string ServerProcess::log() const {
    return readFile(workDir.file("server.log"));
}

int ServerProcess::countInLog(const std::string& text) const {
    const std::string content = log();
    int count = 0;
    for (std::size_t at = content.find(text); at != std::string::npos;
         at = content.find(text, at + text.size())) {
        ++count;
    }
    return count;
}

bool ServerProcess::waitForLog(const std::string& text, std::chrono::milliseconds timeout,
                               int count) const {
    return waitUntil([&] { return countInLog(text) >= count; }, timeout);
}
