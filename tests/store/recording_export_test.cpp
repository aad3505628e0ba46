#include "store/recording_export.h"

#include <edflib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "protocol/emg_rate.h"
#include "tests/support/temp_dir.h"

namespace {

// 1000 frames of channels 1, 3 and 8, and two stray bytes of a frame never finished.
std::vector<std::uint8_t> someFrames() {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 3000 + 2; ++i) {
        bytes.push_back(static_cast<std::uint8_t>((i * 37 + i / 7) % 256));
    }
    return bytes;
}

// The bytes as a raw file of `dir`.
ExportSource sourceOf(const TempDir& dir, const std::vector<std::uint8_t>& bytes) {
    writeBytes(dir.file("raw3.bin"), bytes);
    ExportSource source;
    source.path = dir.file("raw3.bin");
    source.length = bytes.size();
    source.channelMask = 0x85;
    source.gesture = 3;
    source.gestureName = "Pinch";
    source.windows =
        std::vector<RecordedWindow>{{0, 1200, 0x85, 1700000000}, {1200, 1802, 0x85, 1700000100}};
    source.startTime = 1700000000;
    return source;
}

// The whole body, checked against the length announced before it.
std::string drained(std::unique_ptr<BodyStream> stream) {
    EXPECT_TRUE(stream);
    if (!stream) {
        return {};
    }
    const std::uint64_t length = stream->length();
    std::string body;
    std::string piece;
    while (stream->next(piece) && !piece.empty()) {
        body += piece;
    }
    EXPECT_EQ(body.size(), length);
    return body;
}

TEST(RecordingExport, CsvHoldsATimeColumnAndEveryWholeFrameExactly) {
    // Past 10 s of frames, so that the time field grows a digit.
    auto bytes = someFrames();
    for (int i = 0; i < 3 * 7000; ++i) {
        bytes.insert(bytes.end() - 2, static_cast<std::uint8_t>(i % 256));
    }
    TempDir dir;
    std::string error;
    std::istringstream csv(drained(csvExport(sourceOf(dir, bytes), error)));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "time_s,ch1,ch3,ch8");
    std::size_t frame = 0;
    while (std::getline(csv, line)) {
        std::istringstream fields(line);
        std::string field;
        std::getline(fields, field, ',');
        EXPECT_NEAR(std::strtod(field.c_str(), nullptr), frame / kEmgFramesPerSecond, 1e-6) << line;
        for (std::size_t c = 0; c < 3; ++c) {
            ASSERT_TRUE(std::getline(fields, field, ',')) << line;
            EXPECT_EQ(std::stoi(field), bytes[frame * 3 + c]) << line;
        }
        ++frame;
    }
    EXPECT_EQ(frame, 8000u);
}

TEST(RecordingExport, EdfPlusReadBackWithLibedfHoldsTheRawSamplesAndMarksTheWindows) {
    const auto bytes = someFrames();
    TempDir dir;
    std::string error;
    writeFile(dir.file("raw3.edf"), drained(edfExport(sourceOf(dir, bytes), error)));
    ASSERT_TRUE(error.empty()) << error;

    edf_hdr_struct header{};
    const int opened =
        edfopen_file_readonly(dir.file("raw3.edf").c_str(), &header, EDFLIB_READ_ALL_ANNOTATIONS);
    ASSERT_EQ(opened, 0) << header.filetype;
    EXPECT_EQ(header.filetype, EDFLIB_FILETYPE_EDFPLUS);
    ASSERT_EQ(header.edfsignals, 3);
    const char* labels[] = {"EMG ch1", "EMG ch3", "EMG ch8"};
    // 1000 frames fill 15 records of 65 and part of a 16th.
    for (int s = 0; s < 3; ++s) {
        const edf_param_struct& signal = header.signalparam[s];
        EXPECT_EQ(std::string(signal.label).substr(0, 7), labels[s]);
        EXPECT_EQ(std::string(signal.physdimension).substr(0, 3), "ADU");
        EXPECT_EQ(signal.smp_in_datarecord * EDFLIB_TIME_DIMENSION / header.datarecord_duration,
                  kEmgFramesPerSecond);
        ASSERT_EQ(signal.smp_in_file, 16 * 65);
        std::vector<int> samples(static_cast<std::size_t>(signal.smp_in_file));
        ASSERT_EQ(edfread_digital_samples(header.handle, s, static_cast<int>(samples.size()),
                                          samples.data()),
                  static_cast<int>(samples.size()));
        for (std::size_t f = 0; f < samples.size(); ++f) {
            // Past the 1000 recorded frames the record repeats the last one.
            const std::size_t frame = std::min<std::size_t>(f, 999);
            ASSERT_EQ(samples[f], bytes[frame * 3 + static_cast<std::size_t>(s)]) << f;
        }
    }
    ASSERT_EQ(header.annotations_in_file, 3);
    const std::pair<long long, const char*> expected[] = {
        {0, "recording window 1"},
        {400LL * EDFLIB_TIME_DIMENSION / static_cast<long long>(kEmgFramesPerSecond),
         "recording window 2"},
        {1000LL * EDFLIB_TIME_DIMENSION / static_cast<long long>(kEmgFramesPerSecond),
         "end of recording"}};
    for (int a = 0; a < 3; ++a) {
        edf_annotation_struct annotation{};
        ASSERT_EQ(edf_get_annotation(header.handle, a, &annotation), 0);
        EXPECT_NEAR(static_cast<double>(annotation.onset), static_cast<double>(expected[a].first),
                    1000.0)
            << a;
        EXPECT_STREQ(annotation.annotation, expected[a].second);
    }
    edfclose_file(header.handle);
}

}  // namespace
