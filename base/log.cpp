#include "base/log.h"

#include <sys/time.h>

#include <cstdio>
#include <ctime>

namespace {

constexpr int kLineBuffer = 1024;
constexpr char kLevelLetters[] = "VDIWEF";

}  // namespace

int vlogPrint(int level, const char* tag, const char* format, va_list args) {
    if (level < 1) {
        return 0;
    }
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);

    char line[kLineBuffer];
    int header = std::snprintf(
        line, sizeof line,
        "(%4.4u-%u-%u %u:%2.2u:%2.2u:%3.3u)[%c/%s]: ", static_cast<unsigned>(local.tm_year + 1900),
        static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday),
        static_cast<unsigned>(local.tm_hour), static_cast<unsigned>(local.tm_min),
        static_cast<unsigned>(local.tm_sec), static_cast<unsigned>(now.tv_usec / 1000),
        kLevelLetters[level > 5 ? 5 : level], tag);
    if (header < 0) {
        header = 0;
    }
    if (header > kLineBuffer - 1) {
        header = kLineBuffer - 1;
    }
    std::vsnprintf(line + header, static_cast<size_t>(kLineBuffer - header), format, args);

    flockfile(stdout);
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    funlockfile(stdout);
    return 0;
}

int logPrint(int level, const char* tag, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vlogPrint(level, tag, format, args);
    va_end(args);
    return 0;
}

void logLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vlogPrint(1, kLogTag, format, args);
    va_end(args);
}
