#include "store/raw_recording_reader.h"

#include <sys/stat.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/whole_file.h"
#include "store/raw_recording_file.h"

namespace {

// Why `name` is not a file that can be read, in the system's words.
std::string whyNotAFile(const std::string& name) {
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) {
        return std::strerror(errno);
    }
    return S_ISDIR(status.st_mode) ? std::strerror(EISDIR) : "not a regular file";
}

}  // namespace

std::string channelMaskText(std::uint8_t mask) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", mask);
    return text;
}

RawRecordingRead readRawRecording(int gesture, const RawRecordingWants& wants, RawRecording& out) {
    out = RawRecording{};
    const std::string name = rawFileName(static_cast<std::uint8_t>(gesture));
    const std::int64_t size = fileSize(name);
    if (size < 0) {
        out.problem = "gesture " + std::to_string(gesture) + " has no recording";
        out.failure = whyNotAFile(name);
        return RawRecordingRead::missing;
    }
    out.size = static_cast<std::uint64_t>(size);
    out.windows = readWindowLog(gesture, out.size);
    out.channelMask = wants.configuredMask;
    if (out.windows && !out.windows->empty()) {
        out.channelMask = out.windows->front().channelMask;
        for (const RecordedWindow& window : *out.windows) {
            if (window.channelMask != out.channelMask) {
                out.problem = name + " holds windows recorded with different channels (" +
                              channelMaskText(out.channelMask) + " and " +
                              channelMaskText(window.channelMask) +
                              "): it cannot be read as one recording; delete the windows of one "
                              "kind";
                out.channelMask = 0;
                return RawRecordingRead::mixedChannels;
            }
        }
    }
    out.channels = std::popcount(out.channelMask);
    if (out.channels == 0) {
        const char* why = !out.windows           ? " was made without a window log and no channels "
                                                   "are configured"
                          : out.windows->empty() ? " holds no window and no channels are configured"
                                                 : " was recorded without configured channels";
        out.problem = name + why + ": its frames cannot be told apart";
        return RawRecordingRead::noChannels;
    }
    if (wants.configuredChannels && out.channelMask != wants.configuredMask) {
        out.problem = name + " was recorded with channels " + channelMaskText(out.channelMask) +
                      " but the configuration has " + channelMaskText(wants.configuredMask) +
                      ": record it again with these channels, or configure " +
                      channelMaskText(out.channelMask);
        return RawRecordingRead::otherChannels;
    }
    if (!wants.bytes) {
        return RawRecordingRead::read;
    }
    const FileRead read = readWholeFile(name, wants.maxBytes, out.bytes);
    if (read == FileRead::Missing || read == FileRead::Failed) {
        out.failure = std::strerror(errno);
    }
    switch (read) {
        case FileRead::Read:
            return RawRecordingRead::read;
        case FileRead::Missing:
            out.problem = "gesture " + std::to_string(gesture) + " has no recording";
            return RawRecordingRead::missing;
        case FileRead::TooLarge:
            out.problem = name + " holds " + std::to_string(out.size) + " bytes, more than the " +
                          std::to_string(wants.maxBytes) + " that can be read";
            return RawRecordingRead::tooLarge;
        case FileRead::Failed:
            break;
    }
    out.problem = name + " could not be read";
    return RawRecordingRead::failed;
}
