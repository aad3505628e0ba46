#include "tests/support/server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <sys/file.h>
#include <thread>

namespace {

// Servers take fixed ports, so test runs of several checkouts on one machine
// take turns: a lock file held while any server of this process may run.
class MachinePortLock {
public:
    void acquire() {
        std::lock_guard<std::mutex> guard(lock);
        if (holders++ == 0) {
            fd = open("/tmp/quillon-test-ports.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (fd >= 0) {
                flock(fd, LOCK_EX);
            }
        }
    }
    void release() {
        std::lock_guard<std::mutex> guard(lock);
        if (--holders == 0 && fd >= 0) {
            // The next server, maybe of another test run, must find the port free.
            waitForPortClosed(ServerProcess::kPort, std::chrono::seconds(5));
            flock(fd, LOCK_UN);
            close(fd);
            fd = -1;
        }
    }

private:
    std::mutex lock;
    int holders = 0;
    int fd = -1;
};

MachinePortLock portLock;

bool portAccepts(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
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

ServerProcess::ServerProcess() { portLock.acquire(); }

ServerProcess::~ServerProcess() {
    if (running()) {
        signal(SIGTERM);
        if (!waitForExit(std::chrono::seconds(5))) {
            signal(SIGKILL);
            waitForExit(std::chrono::seconds(5));
        }
    }
    portLock.release();
}

bool ServerProcess::start(std::chrono::milliseconds timeout) {
    const std::string logPath = workDir.file("server.log");
    pid = fork();
    if (pid == 0) {
        const int logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (logFd < 0 || chdir(workDir.path().c_str()) != 0) {
            _exit(127);
        }
        dup2(logFd, STDOUT_FILENO);
        execl(QUILLON_SERVER_BINARY, QUILLON_SERVER_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) {
        return false;
    }
    const auto ready = [this] {
        return !running() || (countInLog("uWS server started") > 0 && portAccepts(kPort));
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

std::string ServerProcess::log() const { return readFile(workDir.file("server.log")); }

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
