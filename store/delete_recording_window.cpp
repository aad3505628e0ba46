#include "store/delete_recording_window.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/log.h"
#include "base/whole_file.h"
#include "store/raw_recording_file.h"
#include "store/window_log.h"

namespace {

std::string newName(const std::string& name) {
    return name + ".new";
}

// Copies `from` to `to` without the `skipBytes` bytes at `skipAt`, flushed to
// the disk; false, with `to` removed, on any failure.
bool copyWithout(const std::string& from, const std::string& to, std::uint64_t skipAt,
                 std::uint64_t skipBytes) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = in >= 0 && out >= 0;
    std::vector<char> buffer(1 << 20);
    std::uint64_t at = 0;
    while (ok) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        // The part of this piece that lies outside the skipped bytes.
        for (std::uint64_t offset = 0; ok && offset < static_cast<std::uint64_t>(got);) {
            const std::uint64_t position = at + offset;
            const bool skipped = position >= skipAt && position < skipAt + skipBytes;
            const std::uint64_t boundary = position < skipAt ? skipAt
                                           : skipped         ? skipAt + skipBytes
                                                             : UINT64_MAX;
            const std::uint64_t run = std::min<std::uint64_t>(
                static_cast<std::uint64_t>(got) - offset, boundary - position);
            if (!skipped) {
                ok = ::write(out, buffer.data() + offset, run) == static_cast<ssize_t>(run);
            }
            offset += run;
        }
        at += static_cast<std::uint64_t>(got);
    }
    ok = ok && ::fsync(out) == 0;
    if (in >= 0) {
        ::close(in);
    }
    if (out >= 0) {
        ok = ::close(out) == 0 && ok;
    }
    if (!ok) {
        std::remove(to.c_str());
    }
    return ok;
}

}  // namespace

WindowDelete removeRecordingWindow(int gesture, std::size_t window) {
    const std::string rawName = rawFileName(static_cast<std::uint8_t>(gesture));
    const std::string logName = windowLogName(gesture);
    if (fileSize(rawName) < 0) {
        return WindowDelete::noRecording;
    }
    const std::optional<std::uint64_t> logged = settleRawFile(gesture);
    std::optional<std::vector<RecordedWindow>> windows =
        logged ? readWindowLog(gesture, *logged) : std::nullopt;
    if (!windows) {
        return WindowDelete::windowsUnknown;
    }
    if (window == 0 || window > windows->size()) {
        return WindowDelete::noSuchWindow;
    }
    const RecordedWindow removed = (*windows)[window - 1];
    windows->erase(windows->begin() + static_cast<std::ptrdiff_t>(window - 1));
    for (std::size_t k = window - 1; k < windows->size(); ++k) {
        (*windows)[k].firstByte -= removed.bytes;
    }
    const std::string text = windowLogText(*windows);
    if (!copyWithout(rawName, newName(rawName), removed.firstByte, removed.bytes)) {
        logLine("%s could not be written", newName(rawName).c_str());
        return WindowDelete::failed;
    }
    if (const FileWrite written = writeFileAtomically(newName(logName), text.data(), text.size());
        !written) {
        logLine("%s could not be written: %s", newName(logName).c_str(), written.reason.c_str());
        std::remove(newName(rawName).c_str());
        return WindowDelete::failed;
    }
    if (std::rename(newName(rawName).c_str(), rawName.c_str()) != 0) {
        std::remove(newName(rawName).c_str());
        std::remove(newName(logName).c_str());
        return WindowDelete::failed;
    }
    // From here on the change completes, now or at the next start.
    if (std::rename(newName(logName).c_str(), logName.c_str()) != 0) {
        logLine("%s could not replace %s; the next start completes it", newName(logName).c_str(),
                logName.c_str());
    }
    logLine("%s: window %zu of %llu bytes deleted", rawName.c_str(), window,
            static_cast<unsigned long long>(removed.bytes));
    return WindowDelete::deleted;
}

void finishWindowDelete(int gesture) {
    const std::string rawName = rawFileName(static_cast<std::uint8_t>(gesture));
    const std::string logName = windowLogName(gesture);
    const bool rawWaits = fileSize(newName(rawName)) >= 0;
    if (fileSize(newName(logName)) < 0) {
        if (rawWaits && std::remove(newName(rawName).c_str()) == 0) {
            logLine("start-up: %s removed, a window delete that never finished",
                    newName(rawName).c_str());
        }
        return;
    }
    if (rawWaits) {
        std::remove(newName(rawName).c_str());
        std::remove(newName(logName).c_str());
        logLine("start-up: the window delete of %s had not begun to replace it: dropped",
                rawName.c_str());
        return;
    }
    if (std::rename(newName(logName).c_str(), logName.c_str()) == 0) {
        logLine("start-up: the window delete of %s completed", rawName.c_str());
    }
}
