#include "tests/support/process_stats.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::int64_t statusKiB(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stoll(line.substr(field.size()));
        }
    }
    return 0;
}

int entriesIn(const std::string& directory) {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        ++count;
    }
    return error ? -1 : count;
}

}  // namespace

std::int64_t peakResidentKiB(pid_t pid) {
    return statusKiB(pid, "VmHWM:");
}

std::int64_t residentKiB(pid_t pid) {
    return statusKiB(pid, "VmRSS:");
}

int openDescriptors(pid_t pid) {
    return entriesIn("/proc/" + std::to_string(pid) + "/fd");
}

int threadCount(pid_t pid) {
    return entriesIn("/proc/" + std::to_string(pid) + "/task");
}

std::int64_t cpuTimeMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    // After the command's closing parenthesis: state is field 3, utime 14, stime 15.
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    std::int64_t utime = 0;
    std::int64_t stime = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14) {
            utime = std::stoll(field);
        } else if (number == 15) {
            stime = std::stoll(field);
        }
    }
    return (utime + stime) * 1000 / sysconf(_SC_CLK_TCK);
}
