#include "recordings/recording_export.h"

#include <edflib.h>
#include <stdlib.h>
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "core/whole_file.h"

namespace {

constexpr double kFramesPerSecond = 650.0;
// EDF+ record duration in libedf's units of 10 microseconds: 0.1 s.
constexpr int kRecordDuration = 10000;
// Annotation times are in units of 100 microseconds.
constexpr long long kAnnotationUnitsPerSecond = 10000;

std::vector<int> channelNumbers(std::uint8_t mask) {
    std::vector<int> numbers;
    for (int bit = 0; bit < 8; ++bit) {
        if ((mask >> bit) & 1u) {
            numbers.push_back(bit + 1);
        }
    }
    return numbers;
}

long long annotationTime(std::uint64_t frame) {
    return static_cast<long long>(
        (frame * static_cast<std::uint64_t>(kAnnotationUnitsPerSecond) * 2 + 650) / 1300);
}

// A temporary file name of our own, removed when the object goes.
class TemporaryPath {
  public:
    TemporaryPath() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillon-export-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd >= 0) {
            ::close(fd);
            path = pattern;
        }
    }
    ~TemporaryPath() {
        if (!path.empty()) {
            std::remove(path.c_str());
        }
    }
    TemporaryPath(const TemporaryPath&) = delete;
    TemporaryPath& operator=(const TemporaryPath&) = delete;
    std::string path;
};

bool describeSignals(int edf, const ExportSource& source, const std::vector<int>& channels) {
    bool ok = edf_set_datarecord_duration(edf, kRecordDuration) == 0;
    for (std::size_t s = 0; s < channels.size() && ok; ++s) {
        const int signal = static_cast<int>(s);
        const std::string label = "EMG ch" + std::to_string(channels[s]);
        ok = edf_set_samplefrequency(edf, signal, kEdfRecordFrames) == 0 &&
             edf_set_digital_minimum(edf, signal, 0) == 0 &&
             edf_set_digital_maximum(edf, signal, 255) == 0 &&
             edf_set_physical_minimum(edf, signal, 0.0) == 0 &&
             edf_set_physical_maximum(edf, signal, 255.0) == 0 &&
             edf_set_physical_dimension(edf, signal, "ADU") == 0 &&
             edf_set_label(edf, signal, label.c_str()) == 0 &&
             edf_set_transducer(edf, signal, "EMG electrode, 8-bit ADC") == 0;
    }
    if (ok) {
        std::string recording = "gesture " + std::to_string(source.gesture);
        if (!source.gestureName.empty()) {
            recording += " " + source.gestureName;
        }
        ok = edf_set_equipment(edf, "Quillon EMG armband") == 0 &&
             edf_set_recording_additional(edf, recording.c_str()) == 0;
    }
    if (ok && source.startTime > 0) {
        const std::time_t start = static_cast<std::time_t>(source.startTime);
        std::tm local{};
        if (::localtime_r(&start, &local) != nullptr) {
            ok = edf_set_startdatetime(edf, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                       local.tm_hour, local.tm_min, local.tm_sec) == 0;
        }
    }
    return ok;
}

bool writeSamples(int edf, const ExportSource& source, std::size_t channels, std::size_t frames) {
    const std::size_t records = (frames + kEdfRecordFrames - 1) / kEdfRecordFrames;
    short samples[kEdfRecordFrames];
    for (std::size_t r = 0; r < records; ++r) {
        for (std::size_t c = 0; c < channels; ++c) {
            for (std::size_t t = 0; t < static_cast<std::size_t>(kEdfRecordFrames); ++t) {
                // The last record is completed by repeating the last frame.
                const std::size_t frame = std::min(r * kEdfRecordFrames + t, frames - 1);
                samples[t] = static_cast<short>(source.bytes[frame * channels + c]);
            }
            if (edfwrite_digital_short_samples(edf, samples) != 0) {
                return false;
            }
        }
    }
    return true;
}

bool writeAnnotations(int edf, const ExportSource& source, std::size_t channels,
                      std::size_t frames) {
    bool ok = true;
    if (source.windows) {
        for (std::size_t k = 0; k < source.windows->size() && ok; ++k) {
            const RecordedWindow& window = (*source.windows)[k];
            const std::uint64_t first = window.firstByte / channels;
            const std::uint64_t length = window.bytes / channels;
            const std::string text = "recording window " + std::to_string(k + 1);
            ok = first >= frames ||
                 edfwrite_annotation_utf8(edf, annotationTime(first), annotationTime(length),
                                          text.c_str()) == 0;
        }
    }
    if (ok && frames % kEdfRecordFrames != 0) {
        ok = edfwrite_annotation_utf8(edf, annotationTime(frames), -1, "end of recording") == 0;
    }
    return ok;
}

}  // namespace

std::string recordingCsv(const ExportSource& source) {
    const std::vector<int> channels = channelNumbers(source.channelMask);
    std::string text = "time_s";
    for (int channel : channels) {
        text += ",ch" + std::to_string(channel);
    }
    text += '\n';
    if (channels.empty()) {
        return text;
    }
    const std::size_t count = channels.size();
    const std::size_t frames = source.length / count;
    text.reserve(text.size() + frames * (12 + 4 * count));
    char line[16 + 4 * 8];
    for (std::size_t f = 0; f < frames; ++f) {
        int used =
            std::snprintf(line, sizeof line, "%.6f", static_cast<double>(f) / kFramesPerSecond);
        const std::uint8_t* frame = source.bytes + f * count;
        for (std::size_t c = 0; c < count; ++c) {
            used += std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used), ",%u",
                                  static_cast<unsigned>(frame[c]));
        }
        text.append(line, static_cast<std::size_t>(used));
        text += '\n';
    }
    return text;
}

bool recordingEdf(const ExportSource& source, std::string& file, std::string& error) {
    const std::vector<int> channels = channelNumbers(source.channelMask);
    const std::size_t frames = channels.empty() ? 0 : source.length / channels.size();
    if (frames == 0) {
        error = "the recording holds no whole frame";
        return false;
    }
    TemporaryPath temporary;
    if (temporary.path.empty()) {
        error = "no temporary file could be made";
        return false;
    }
    const int edf = edfopen_file_writeonly(temporary.path.c_str(), EDFLIB_FILETYPE_EDFPLUS,
                                           static_cast<int>(channels.size()));
    if (edf < 0) {
        error = "libedf could not open its file (" + std::to_string(edf) + ")";
        return false;
    }
    const bool written = describeSignals(edf, source, channels) &&
                         writeSamples(edf, source, channels.size(), frames) &&
                         writeAnnotations(edf, source, channels.size(), frames);
    const bool closed = edfclose_file(edf) == 0;
    if (!written || !closed) {
        error = "libedf could not write the recording";
        return false;
    }
    if (readWholeFile(temporary.path, 4 * kMaxExportedRawBytes + (1u << 20), file) !=
        FileRead::Read) {
        error = "the EDF+ file could not be read back";
        return false;
    }
    return true;
}
