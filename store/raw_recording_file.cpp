#include "store/raw_recording_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "protocol/wire.h"

std::string rawFileName(std::uint8_t gesture) {
    return "raw" + std::to_string(gesture) + ".bin";
}

bool appendToRawFile(const std::string& name, const std::uint8_t* data, std::size_t length) {
    std::FILE* file = std::fopen(name.c_str(), "ab");
    if (file == nullptr) {
        const int error = errno;
        logLine("raw_file_name open error.");
        logLine("appendToRawFile, %s cannot be opened to append to: %s", name.c_str(),
                std::strerror(error));
        return false;
    }
    std::fseek(file, 0, SEEK_END);
    const long before = std::ftell(file);
    const bool written = length == 0 || std::fwrite(data, 1, length, file) == length;
    // On the disk before the window log names them.
    const bool flushed = std::fflush(file) == 0 && ::fdatasync(fileno(file)) == 0;
    const int error = errno;
    if (!written || !flushed) {
        // Leave the bytes of earlier recordings exactly as they were.
        if (before >= 0 && ftruncate(fileno(file), before) != 0) {
            logLine("raw file %s could not be cut back to %ld bytes", name.c_str(), before);
        }
    }
    const bool closed = std::fclose(file) == 0;
    if (!written || !flushed || !closed) {
        logLine("raw file %s write error: %s", name.c_str(),
                std::strerror(written && flushed ? errno : error));
        return false;
    }
    return true;
}
