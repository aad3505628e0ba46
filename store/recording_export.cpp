#include "store/recording_export.h"

#include <edflib.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "protocol/emg_rate.h"

namespace {

// EDF+ record duration in libedf's units of 10 microseconds: 0.1 s.
constexpr int kRecordDuration = 10000;
// Annotation times are in units of 100 microseconds.
constexpr long long kAnnotationUnitsPerSecond = 10000;
// The EMG rate for the integer arithmetic of times and lengths.
constexpr auto kFramesPerSecond = static_cast<std::uint64_t>(kEmgFramesPerSecond);

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
        (frame * static_cast<std::uint64_t>(kAnnotationUnitsPerSecond) * 2 + kFramesPerSecond) /
        (2 * kFramesPerSecond));
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

// A file opened for reading, closed when the object goes.
class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(const std::string& path)
        : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    bool isOpen() const { return fd >= 0; }
    // Exactly `length` bytes at `offset`, or false.
    bool readAt(std::uint64_t offset, std::uint8_t* into, std::size_t length) const {
        while (length > 0) {
            const ssize_t got = ::pread(fd, into, length, static_cast<off_t>(offset));
            if (got <= 0) {
                return false;
            }
            into += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::size_t>(got);
        }
        return true;
    }
    std::int64_t size() const {
        struct stat status {};
        return ::fstat(fd, &status) == 0 ? static_cast<std::int64_t>(status.st_size) : -1;
    }

  private:
    int fd;
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

bool writeSamples(int edf, const ReadOnlyFile& raw, std::size_t channels, std::size_t frames) {
    const std::size_t records = (frames + kEdfRecordFrames - 1) / kEdfRecordFrames;
    std::vector<std::uint8_t> record(kEdfRecordFrames * channels);
    short samples[kEdfRecordFrames];
    for (std::size_t r = 0; r < records; ++r) {
        const std::size_t first = r * kEdfRecordFrames;
        const std::size_t held = std::min<std::size_t>(kEdfRecordFrames, frames - first);
        if (!raw.readAt(first * channels, record.data(), held * channels)) {
            return false;
        }
        for (std::size_t c = 0; c < channels; ++c) {
            for (std::size_t t = 0; t < static_cast<std::size_t>(kEdfRecordFrames); ++t) {
                // The last record is completed by repeating the last frame.
                samples[t] = static_cast<short>(record[std::min(t, held - 1) * channels + c]);
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

// The CSV text, made a few thousand frames at a time.
class CsvStream : public BodyStream {
  public:
    explicit CsvStream(const ExportSource& source)
        : raw(source.path), channels(channelNumbers(source.channelMask)) {
        const std::size_t count = channels.size();
        frames = count == 0 ? 0 : source.length / count;
        header = "time_s";
        for (int channel : channels) {
            header += ",ch" + std::to_string(channel);
        }
        header += '\n';
    }
    bool isOpen() const { return raw.isOpen(); }

    // The text's length without making it: a time field of the integer
    // seconds' digits and seven more per line, and a comma and the value's
    // digits per sample.
    std::uint64_t length() override {
        std::uint64_t total = header.size();
        for (std::uint64_t first = 0, digits = 1, bound = 10; first < frames;
             ++digits, bound *= 10) {
            const std::uint64_t end = std::min<std::uint64_t>(frames, bound * kFramesPerSecond);
            total += (end - first) * (digits + 8);
            first = end;
        }
        std::vector<std::uint8_t> bytes;
        for (std::uint64_t frame = 0; frame < frames; frame += kPieceFrames) {
            if (!read(frame, bytes)) {
                return total;  // the pieces fail alike, and the body is cut short
            }
            for (const std::uint8_t value : bytes) {
                total += value >= 100 ? 4 : value >= 10 ? 3 : 2;
            }
        }
        return total;
    }

    bool next(std::string& piece) override {
        piece.clear();
        if (!headerSent) {
            headerSent = true;
            piece = header;
            return true;
        }
        std::vector<std::uint8_t> bytes;
        if (nextFrame >= frames) {
            return true;
        }
        if (!read(nextFrame, bytes)) {
            return false;
        }
        const std::size_t count = channels.size();
        piece.reserve(bytes.size() / count * (12 + 4 * count));
        char line[16 + 4 * 8];
        for (std::size_t at = 0; at < bytes.size(); at += count, ++nextFrame) {
            int used = std::snprintf(line, sizeof line, "%.6f",
                                     static_cast<double>(nextFrame) / kEmgFramesPerSecond);
            for (std::size_t c = 0; c < count; ++c) {
                used += std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used),
                                      ",%u", static_cast<unsigned>(bytes[at + c]));
            }
            piece.append(line, static_cast<std::size_t>(used));
            piece += '\n';
        }
        return true;
    }

  private:
    static constexpr std::uint64_t kPieceFrames = 4096;

    bool read(std::uint64_t frame, std::vector<std::uint8_t>& bytes) const {
        const std::uint64_t count = std::min(kPieceFrames, frames - frame);
        bytes.resize(static_cast<std::size_t>(count * channels.size()));
        return raw.readAt(frame * channels.size(), bytes.data(), bytes.size());
    }

    ReadOnlyFile raw;
    std::vector<int> channels;
    std::uint64_t frames = 0;
    std::string header;
    bool headerSent = false;
    std::uint64_t nextFrame = 0;
};

// A finished file, handed out in pieces.
class FileStream : public BodyStream {
  public:
    explicit FileStream(const std::string& path) : file(path) {}
    bool isOpen() const { return file.isOpen(); }
    std::uint64_t length() override {
        total = static_cast<std::uint64_t>(std::max<std::int64_t>(0, file.size()));
        return total;
    }
    bool next(std::string& piece) override {
        constexpr std::uint64_t kPieceBytes = 256 * 1024;
        const std::uint64_t count = std::min(kPieceBytes, total - sent);
        piece.resize(static_cast<std::size_t>(count));
        if (count > 0 &&
            !file.readAt(sent, reinterpret_cast<std::uint8_t*>(piece.data()), piece.size())) {
            return false;
        }
        sent += count;
        return true;
    }

  private:
    ReadOnlyFile file;
    std::uint64_t total = 0;
    std::uint64_t sent = 0;
};

}  // namespace

std::unique_ptr<BodyStream> csvExport(const ExportSource& source, std::string& error) {
    auto stream = std::make_unique<CsvStream>(source);
    if (!stream->isOpen()) {
        error = source.path + " could not be opened";
        return nullptr;
    }
    return stream;
}

std::unique_ptr<BodyStream> edfExport(const ExportSource& source, std::string& error) {
    const std::vector<int> channels = channelNumbers(source.channelMask);
    const std::size_t frames = channels.empty() ? 0 : source.length / channels.size();
    if (frames == 0) {
        error = "the recording holds no whole frame";
        return nullptr;
    }
    const ReadOnlyFile raw(source.path);
    if (!raw.isOpen()) {
        error = source.path + " could not be opened";
        return nullptr;
    }
    TemporaryPath temporary;
    if (temporary.path.empty()) {
        error = "no temporary file could be made";
        return nullptr;
    }
    const int edf = edfopen_file_writeonly(temporary.path.c_str(), EDFLIB_FILETYPE_EDFPLUS,
                                           static_cast<int>(channels.size()));
    if (edf < 0) {
        error = "libedf could not open its file (" + std::to_string(edf) + ")";
        return nullptr;
    }
    const bool written = describeSignals(edf, source, channels) &&
                         writeSamples(edf, raw, channels.size(), frames) &&
                         writeAnnotations(edf, source, channels.size(), frames);
    const bool closed = edfclose_file(edf) == 0;
    if (!written || !closed) {
        error = "libedf could not write the recording";
        return nullptr;
    }
    // Opened before the temporary name goes: the file lives as long as the stream.
    auto stream = std::make_unique<FileStream>(temporary.path);
    if (!stream->isOpen()) {
        error = "the EDF+ file could not be read back";
        return nullptr;
    }
    return stream;
}
