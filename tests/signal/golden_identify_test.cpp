// The recorded golden streams, cut and classified as the server does while
// identifying, must give exactly the reports and per-window results on file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "server/device/acquisition_state.h"
#include "server/identify/identify_worker.h"
#include "signal/identify_window_cutter.h"
#include "store/identify_model_check.h"
#include "tests/support/identify_test_support.h"

namespace {

using namespace identify_test;

struct WindowOutcome {
    int index;
    int packet;
    int result;
};

// The integer after "key": in case.json.
int caseNumber(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\"");
    if (at == std::string::npos) {
        return -1;
    }
    const std::size_t colon = json.find(':', at);
    return static_cast<int>(std::strtol(json.c_str() + colon + 1, nullptr, 10));
}

std::vector<WindowOutcome> readExpectedWindows(const std::filesystem::path& path) {
    std::vector<WindowOutcome> windows;
    std::ifstream in(path);
    WindowOutcome w{};
    while (in >> w.index >> w.packet >> w.result) {
        windows.push_back(w);
    }
    return windows;
}

class GoldenIdentification : public testing::TestWithParam<const char*> {};

TEST_P(GoldenIdentification, StreamGivesTheRecordedReportsAndWindowResults) {
    const std::filesystem::path dir = std::filesystem::path(QUILLON_GOLDEN_DIR) / GetParam();
    std::stringstream json;
    json << std::ifstream(dir / "case.json").rdbuf();
    const int channels = caseNumber(json.str(), "channel_count");
    const int mask = caseNumber(json.str(), "gesture_mask");
    const int packetBytes = caseNumber(json.str(), "packet_bytes");
    const int windowCount = caseNumber(json.str(), "identify_windows");
    ASSERT_GT(channels, 0);
    ASSERT_GT(packetBytes, 0);
    const Bytes stream = readBytes(dir / "stream.bin");
    const std::vector<WindowOutcome> expected =
        readExpectedWindows(dir / "expected/identify_windows.txt");
    const Bytes expectedReports = readBytes(dir / "expected/identify_reports.bin");
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(windowCount));
    ASSERT_FALSE(expectedReports.empty());

    ScopedWorkingDirectory scratch;
    ASSERT_TRUE(scratch.ready());
    std::filesystem::copy_file(dir / "expected/W&B.txt", "W&B.txt");
    ClientRegistry clients;
    RegisteredClient client(clients);

    const std::uint32_t windowLength = static_cast<std::uint32_t>(channels) * 130;
    IdentifyWindowCutter cutter;
    cutter.reset(windowLength);
    IdentifyWorkerState worker(clients);
    worker.requestLoad(IdentifyRun{static_cast<std::uint32_t>(channels), IdentifyMode::exact,
                                   static_cast<std::uint8_t>(mask)});

    std::vector<WindowOutcome> actual;
    const std::size_t packets = stream.size() / static_cast<std::size_t>(packetBytes);
    for (std::size_t packet = 0; packet < packets; ++packet) {
        const std::span<const std::uint8_t> bytes(stream.data() + packet * packetBytes,
                                                  static_cast<std::size_t>(packetBytes));
        if (EventRecord window = cutter.cut(bytes)) {
            actual.push_back({static_cast<int>(actual.size()), static_cast<int>(packet),
                              worker.handleWindow(*window)});
        }
    }

    for (std::size_t i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        const WindowOutcome& got = actual[i];
        const WindowOutcome& want = expected[i];
        ASSERT_TRUE(got.packet == want.packet && got.result == want.result)
            << "first departing window: " << want.index << ", expected packet " << want.packet
            << " result " << want.result << ", got packet " << got.packet << " result "
            << got.result;
    }
    ASSERT_EQ(actual.size(), expected.size());
    Bytes reports;
    for (const Bytes& message : client->messages()) {
        reports.insert(reports.end(), message.begin(), message.end());
    }
    EXPECT_EQ(reports, expectedReports);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenIdentification,
                         testing::Values("case1", "case2", "case3", "case4"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
