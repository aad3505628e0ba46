#include "tests/support/ctl_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

CtlProcess::CtlProcess(const std::vector<std::string>& arguments) {
    const std::string out = files.file("out");
    const std::string err = files.file("err");
    pid = fork();
    if (pid == 0) {
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int nullFd = open("/dev/null", O_RDONLY);
        if (outFd < 0 || errFd < 0 || nullFd < 0) {
            _exit(127);
        }
        dup2(nullFd, STDIN_FILENO);
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(QUILLON_CTL_BINARY)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(QUILLON_CTL_BINARY, argv.data());
        _exit(127);
    }
}

CtlProcess::~CtlProcess() {
    if (!exitCode && pid > 0) {
        kill(pid, SIGKILL);
        wait(5s);
    }
}

std::optional<int> CtlProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!exitCode && pid > 0) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() > deadline) {
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    return exitCode;
}

void CtlProcess::interrupt() const {
    if (pid > 0) {
        kill(pid, SIGINT);
    }
}

bool CtlProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!contains(out(), text)) {
        if (Clock::now() > deadline || wait(0ms)) {
            return contains(out(), text);
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::string CtlProcess::out() const {
    return readFile(files.file("out"));
}

std::string CtlProcess::err() const {
    return readFile(files.file("err"));
}

CtlRun runCtl(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout) {
    CtlProcess ctl(arguments);
    const std::optional<int> code = ctl.wait(timeout);
    return CtlRun{code.value_or(-1), ctl.out(), ctl.err()};
}
