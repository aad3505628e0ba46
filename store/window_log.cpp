#include "store/window_log.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "base/atomic_file.h"
#include "base/log.h"
#include "base/whole_file.h"
#include "store/raw_recording_file.h"

namespace {

std::string lineFor(const RecordedWindow& window) {
    char line[96];
    std::snprintf(line, sizeof line, "%" PRIu64 " %" PRIu64 " %u %" PRId64 "\n", window.firstByte,
                  window.bytes, static_cast<unsigned>(window.channelMask), window.endTime);
    return line;
}

}  // namespace

std::string windowLogName(int gesture) {
    return "raw" + std::to_string(gesture) + ".windows";
}

FileWrite logRecordedWindow(int gesture, std::uint64_t bytesBefore, std::uint64_t bytes,
                            std::uint8_t channelMask, std::int64_t endTime) {
    std::string text;
    if (bytesBefore > 0) {
        if (readWholeFile(windowLogName(gesture), kMaxWindowLogBytes, text) != FileRead::Read ||
            !parseWindowLog(text, bytesBefore)) {
            return {};  // earlier bytes unaccounted for: the windows stay unknown
        }
    }
    text += lineFor({bytesBefore, bytes, channelMask, endTime});
    return writeFileAtomically(windowLogName(gesture), text.data(), text.size());
}

namespace {

// The windows of a well-formed log, each starting where the one before ended,
// none reaching past `rawBytes`.
std::optional<std::vector<RecordedWindow>> parseWindowLines(const std::string& text,
                                                            std::uint64_t rawBytes) {
    std::vector<RecordedWindow> windows;
    std::uint64_t next = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            return std::nullopt;
        }
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        std::uint64_t first = 0;
        std::uint64_t bytes = 0;
        unsigned mask = 0;
        std::int64_t time = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "%" SCNu64 " %" SCNu64 " %u %" SCNd64 "%n", &first, &bytes,
                        &mask, &time, &used) != 4 ||
            static_cast<std::size_t>(used) != line.size() || first != next || mask > 0xFF ||
            bytes > rawBytes - next) {
            return std::nullopt;
        }
        next += bytes;
        windows.push_back({first, bytes, static_cast<std::uint8_t>(mask), time});
    }
    return windows;
}

std::uint64_t loggedBytes(const std::vector<RecordedWindow>& windows) {
    return windows.empty() ? 0 : windows.back().firstByte + windows.back().bytes;
}

}  // namespace

std::optional<std::vector<RecordedWindow>> parseWindowLog(const std::string& text,
                                                          std::uint64_t rawBytes) {
    std::optional<std::vector<RecordedWindow>> windows = parseWindowLines(text, rawBytes);
    if (!windows || loggedBytes(*windows) != rawBytes) {
        return std::nullopt;
    }
    return windows;
}

std::optional<std::uint64_t> settleRawFile(int gesture) {
    const std::string rawName = rawFileName(static_cast<std::uint8_t>(gesture));
    const std::int64_t rawBytes = fileSize(rawName);
    std::string text;
    if (rawBytes < 0 ||
        readWholeFile(windowLogName(gesture), kMaxWindowLogBytes, text) != FileRead::Read) {
        return std::nullopt;
    }
    const auto windows = parseWindowLines(text, static_cast<std::uint64_t>(rawBytes));
    if (!windows) {
        return std::nullopt;
    }
    const std::uint64_t logged = loggedBytes(*windows);
    if (logged < static_cast<std::uint64_t>(rawBytes)) {
        if (::truncate(rawName.c_str(), static_cast<off_t>(logged)) != 0) {
            logLine("%s: the %lld bytes after its last whole window could not be removed",
                    rawName.c_str(),
                    static_cast<long long>(rawBytes - static_cast<std::int64_t>(logged)));
            return std::nullopt;
        }
        logLine(
            "%s: %lld bytes after its last whole window removed (an append that never "
            "finished)",
            rawName.c_str(), static_cast<long long>(rawBytes - static_cast<std::int64_t>(logged)));
    }
    return logged;
}

std::string windowLogText(const std::vector<RecordedWindow>& windows) {
    std::string text;
    for (const RecordedWindow& window : windows) {
        text += lineFor(window);
    }
    return text;
}

FileWrite startWindowLog(int gesture) {
    return writeFileAtomically(windowLogName(gesture), "", 0);
}

std::optional<std::vector<RecordedWindow>> readWindowLog(int gesture, std::uint64_t rawBytes) {
    std::string text;
    if (readWholeFile(windowLogName(gesture), kMaxWindowLogBytes, text) != FileRead::Read) {
        return std::nullopt;
    }
    return parseWindowLog(text, rawBytes);
}
