// The recordings, their evaluation and their exports through the server's HTTP
// API and quillonctl, against the real server and its simulated armband.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>

#include "tests/support/ctl_process.h"
#include "tests/support/http_exchange.h"
#include "tests/support/server_fixtures.h"
#include "tests/support/server_process.h"
#include "tests/support/simulated_recordings.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

const std::string kHeader = "X-Quillon-Request: 1\r\n";

class DataApi : public ServerWithQuillonctl {};

TEST_F(DataApi, AfterTheDemoTheRecordingsAreListedScoredExportedNamedAndDeleted) {
    const CtlRun demo = ctl({"demo", "--gestures", "1,2"}, 400s);
    ASSERT_EQ(demo.exitCode, 0) << demo.both() << server.log();

    const CtlRun recordings = ctl({"recordings"});
    ASSERT_EQ(recordings.exitCode, 0) << recordings.both();
    // A window holds 30 s of EMG, give or take the frames of one notification;
    // on a loaded machine a sped-up window may run a few seconds short or long.
    const std::regex row(
        R"( +([12]) +(Fist|Spread) +(2[0-9]|3[0-9])\.[0-9] +1 +([0-9]+) +holds and rests\n)");
    EXPECT_EQ(std::distance(std::sregex_iterator(recordings.out.begin(), recordings.out.end(), row),
                            std::sregex_iterator()),
              2)
        << recordings.out;

    const CtlRun evaluate = ctl({"evaluate"});
    ASSERT_EQ(evaluate.exitCode, 0) << evaluate.both();
    std::smatch accuracy;
    ASSERT_TRUE(std::regex_search(evaluate.out, accuracy,
                                  std::regex(R"(accuracy: ([0-9.]+) % of ([0-9]+) held-out)")))
        << evaluate.out;
    EXPECT_GE(std::stod(accuracy[1].str()), 90.0) << evaluate.out;
    EXPECT_TRUE(contains(evaluate.out, "active error rate")) << evaluate.out;
    EXPECT_FALSE(contains(evaluate.out, "warnings:")) << evaluate.out;
    std::printf("%s", evaluate.out.c_str());

    ASSERT_EQ(ctl({"names", "Fist,", "Spread"}).exitCode, 0);
    EXPECT_TRUE(contains(ctl({"names"}).out, "gesture 2: Spread\n"));
    EXPECT_TRUE(contains(ctl({"recordings"}).out, " Fist "));

    TempDir exports;
    ASSERT_EQ(ctl({"export", "1", "--csv", exports.file("one.csv")}).exitCode, 0);
    const std::string raw = readFile(server.file("raw1.bin"));
    std::istringstream csv(readFile(exports.file("one.csv")));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "time_s,ch1,ch2,ch3,ch4,ch5,ch6,ch7,ch8");
    std::string values;
    while (std::getline(csv, line)) {
        std::istringstream fields(line);
        std::string field;
        std::getline(fields, field, ',');
        while (std::getline(fields, field, ',')) {
            values.push_back(static_cast<char>(std::stoi(field)));
        }
    }
    EXPECT_EQ(values, raw);
    ASSERT_EQ(ctl({"export", "2", "--edf", exports.file("two.edf")}).exitCode, 0);
    EXPECT_EQ(readFile(exports.file("two.edf")).substr(0, 8), "0       ");
    EXPECT_EQ(ctl({"export", "5", "--csv", exports.file("five.csv")}).exitCode, 1);

    ASSERT_EQ(ctl({"delete", "2"}).exitCode, 0);
    EXPECT_FALSE(fileExists(server.file("raw2.bin")));
    EXPECT_FALSE(fileExists(server.file("raw2.windows")));
    const CtlRun after = ctl({"evaluate"});
    EXPECT_EQ(after.exitCode, 1);
    EXPECT_TRUE(contains(after.out, "not evaluated: gesture 2 (Spread) has no recording"))
        << after.both();
}

TEST_F(DataApi, EveryEndpointAnswersWithItsStatusAndContentType) {
    writeBytes(server.file("raw1.bin"), simulatedRecording(1, 8, 30, 2));
    struct Case {
        const char* method;
        const char* target;
        int status;
        const char* contentType;
    };
    const Case cases[] = {
        {"GET", "/api/status", 200, "application/json"},
        {"GET", "/api/recordings", 200, "application/json"},
        {"GET", "/api/recordings/1", 200, "application/json"},
        {"GET", "/api/recordings/1.csv", 409, "application/json"},  // no channels configured
        {"GET", "/api/evaluation", 200, "application/json"},
        {"GET", "/api/gestures", 200, "application/json"},
        {"GET", "/api/settings", 200, "application/json"},
        {"GET", "/api/recordings/2", 404, "application/json"},
        {"GET", "/api/nothing", 404, "application/json"},
        {"POST", "/api/status", 405, "application/json"},
        {"OPTIONS", "/api/recordings/1", 405, "application/json"},
        {"DELETE", "/api/recordings/1", 403, "application/json"},  // without the header
    };
    for (const Case& c : cases) {
        const HttpResponse response = httpRequest(server.port(), c.method, c.target);
        EXPECT_EQ(response.status, c.status) << c.method << " " << c.target << response.body;
        EXPECT_EQ(response.header("content-type"), c.contentType) << c.target;
        EXPECT_EQ(response.header("access-control-allow-origin"), "") << c.target;
    }
    EXPECT_EQ(httpRequest(server.port(), "POST", "/api/status").header("allow"), "GET, HEAD");
    const HttpResponse head = httpRequest(server.port(), "HEAD", "/api/recordings/1");
    EXPECT_EQ(head.status, 200);
    EXPECT_GT(std::stoul(head.header("content-length")), 100u);

    const HttpResponse crossSite = httpRequest(server.port(), "DELETE", "/api/recordings/1", {},
                                               kHeader + "Origin: http://evil.example\r\n");
    EXPECT_EQ(crossSite.status, 403);
    EXPECT_EQ(
        httpRequest(server.port(), "GET", "/api/status", {}, "Origin: http://evil.example\r\n")
            .status,
        403);
    EXPECT_TRUE(fileExists(server.file("raw1.bin")));

    WireClient client(server.port());
    ASSERT_TRUE(client.connected());
    client.send({0x05, 0x0F, 0x03});  // configured without an armband: the masks are kept
    client.nextWithCode(0x05);
    const HttpResponse csv = httpRequest(server.port(), "GET", "/api/recordings/1.csv");
    EXPECT_EQ(csv.status, 200);
    EXPECT_EQ(csv.header("content-type"), "text/csv; charset=utf-8");
    EXPECT_EQ(csv.header("content-disposition"), "attachment; filename=\"raw1.csv\"");
    EXPECT_EQ(csv.body.substr(0, 24), "time_s,ch1,ch2,ch3,ch4\n0");
    const HttpResponse deleted =
        httpRequest(server.port(), "DELETE", "/api/recordings/1", {}, kHeader);
    EXPECT_EQ(deleted.status, 200) << deleted.body;
    EXPECT_FALSE(fileExists(server.file("raw1.bin")));
    EXPECT_TRUE(server.waitForLog("api DELETE /api/recordings/1 200"));
}

TEST_F(DataApi, ADeleteWhileRecordingIsRefusedAndTheWindowLogKeepsInStep) {
    WireClient client(server.port());
    ASSERT_TRUE(client.connected());
    ASSERT_NO_FATAL_FAILURE(scanAndConnect(client));
    ASSERT_NO_FATAL_FAILURE(configureEmg(client, 0xFF, 0x01));
    client.send({0x06, 0x01});
    ASSERT_EQ(client.nextWithCode(0x06, 45s), (Bytes{0x06, 0x00}));
    const std::string first = readFile(server.file("raw1.bin"));

    client.send({0x06, 0x01});
    ASSERT_TRUE(client.nextWithCode(0x07));  // the second window is open
    const HttpResponse refused =
        httpRequest(server.port(), "DELETE", "/api/recordings/1", {}, kHeader);
    EXPECT_EQ(refused.status, 409) << refused.body;
    EXPECT_TRUE(contains(refused.body, "recording")) << refused.body;
    EXPECT_EQ(readFile(server.file("raw1.bin")), first);
    ASSERT_EQ(client.nextWithCode(0x06, 45s), (Bytes{0x06, 0x00}));

    const std::string both = readFile(server.file("raw1.bin"));
    const std::string log = readFile(server.file("raw1.windows"));
    std::smatch windows;
    ASSERT_TRUE(std::regex_match(
        log, windows, std::regex("0 ([0-9]+) 255 [0-9]+\n([0-9]+) ([0-9]+) 255 [0-9]+\n")))
        << log;
    EXPECT_EQ(std::stoul(windows[1].str()), first.size());
    EXPECT_EQ(std::stoul(windows[2].str()), first.size());
    EXPECT_EQ(std::stoul(windows[3].str()), both.size() - first.size());
    const HttpResponse listed = httpRequest(server.port(), "GET", "/api/recordings/1");
    EXPECT_TRUE(contains(listed.body, "\"windows\": 2")) << listed.body;
}

TEST_F(DataApi, RecordingsAreReadWithTheChannelsTheirWindowsWereRecordedWith) {
    WireClient client(server.port());
    ASSERT_NO_FATAL_FAILURE(scanAndConnect(client));
    ASSERT_NO_FATAL_FAILURE(configureEmg(client, 0xFF, 0x03));
    client.send({0x06, 0x01});
    ASSERT_EQ(client.nextWithCode(0x06, 45s), (Bytes{0x06, 0x00}));
    ASSERT_NO_FATAL_FAILURE(configureEmg(client, 0x0F, 0x03));

    const auto lines = [](const std::string& text) {
        return std::count(text.begin(), text.end(), '\n');
    };
    const HttpResponse eight = httpGet(server.port(), "/api/recordings/1.csv");
    EXPECT_EQ(eight.body.substr(0, 41), "time_s,ch1,ch2,ch3,ch4,ch5,ch6,ch7,ch8\n0.");
    EXPECT_EQ(lines(eight.body), 19501);
    const std::string mismatch =
        "raw1.bin was recorded with channels 0xff but the configuration has 0x0f";
    EXPECT_TRUE(contains(httpGet(server.port(), "/api/evaluation").body, mismatch));
    EXPECT_TRUE(contains(httpGet(server.port(), "/api/recordings/1").body,
                         "recorded with channels 0xff but the configuration has 0x0f"));
    client.send({0x0A});
    EXPECT_EQ(client.nextWithCode(0x0A, 20s)->at(1), 0xFF);
    EXPECT_TRUE(server.waitForLog("generateModel, " + mismatch));

    // A second window with four channels: the file can no longer be read as one.
    client.send({0x06, 0x01});
    ASSERT_EQ(client.nextWithCode(0x06, 45s), (Bytes{0x06, 0x00}));
    const HttpResponse mixed = httpGet(server.port(), "/api/recordings/1.csv");
    EXPECT_EQ(mixed.status, 409);
    EXPECT_TRUE(contains(mixed.body, "holds windows recorded with different channels"))
        << mixed.body;
    EXPECT_EQ(
        httpRequest(server.port(), "DELETE", "/api/recordings/1/windows/3", {}, kHeader).status,
        404);
    const HttpResponse deleted =
        httpRequest(server.port(), "DELETE", "/api/recordings/1/windows/1", {}, kHeader);
    ASSERT_EQ(deleted.status, 200) << deleted.body;
    EXPECT_TRUE(contains(deleted.body, "\"windows\": 1")) << deleted.body;
    EXPECT_TRUE(contains(deleted.body, "\"frames\": 19500")) << deleted.body;
    const HttpResponse four = httpGet(server.port(), "/api/recordings/1.csv");
    EXPECT_EQ(four.body.substr(0, 25), "time_s,ch1,ch2,ch3,ch4\n0.");
    EXPECT_EQ(lines(four.body), 19501);
    EXPECT_EQ(readFile(server.file("raw1.bin")).size(), 19500u * 4);
}

TEST_F(DataApi, ARecordingStopsGrowingBeforeTrainingRefusesItAndAnySizeIsExported) {
    constexpr long long kNearlyFull = 16LL * 1024 * 1024 - 100000;
    writeFile(server.file("raw1.bin"), "");
    ASSERT_EQ(truncate(server.file("raw1.bin").c_str(), kNearlyFull), 0);
    writeFile(server.file("raw1.windows"),
              "0 " + std::to_string(kNearlyFull) + " 255 1700000000\n");
    std::string large(5 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>((i * 7 + i / 8) % 251);
    }
    writeFile(server.file("raw2.bin"), large);
    writeFile(server.file("raw2.windows"),
              "0 " + std::to_string(large.size()) + " 255 1700000000\n");

    WireClient client(server.port());
    ASSERT_NO_FATAL_FAILURE(scanAndConnect(client));
    ASSERT_NO_FATAL_FAILURE(configureEmg(client, 0xFF, 0x03));
    client.send({0x06, 0x01});
    EXPECT_EQ(client.nextWithCode(0x06), (Bytes{0x06, 0xFF}));
    EXPECT_TRUE(
        server.waitForLog("START_RECORD refused: raw1.bin holds 16677216 bytes, one more "
                          "window of 156000 would pass the 16777216 bytes"));
    const std::string entry = httpGet(server.port(), "/api/recordings/1").body;
    EXPECT_TRUE(contains(entry, "\"windowsLeft\": 0")) << entry;
    EXPECT_TRUE(contains(entry, "full: one more window would pass")) << entry;
    client.send({0x06, 0x02});
    EXPECT_TRUE(client.nextWithCode(0x07)) << "a gesture with room records";
    client.send({0x07});
    EXPECT_EQ(client.nextWithCode(0x06), (Bytes{0x06, 0xFD}));

    const HttpResponse edf = httpGet(server.port(), "/api/recordings/2.edf");
    ASSERT_EQ(edf.status, 200) << edf.body;
    EXPECT_EQ(edf.header("content-length"), std::to_string(edf.body.size()));
    EXPECT_GT(edf.body.size(), 2 * large.size());
    EXPECT_EQ(edf.body.substr(0, 8), "0       ");
    const HttpResponse csv = httpGet(server.port(), "/api/recordings/2.csv");
    ASSERT_EQ(csv.status, 200) << csv.body.substr(0, 200);
    EXPECT_EQ(csv.header("content-length"), std::to_string(csv.body.size()));
    EXPECT_EQ(std::count(csv.body.begin(), csv.body.end(), '\n'), 1 + 5 * 1024 * 1024 / 8);
    EXPECT_TRUE(
        csv.body.ends_with("," + std::to_string(static_cast<unsigned char>(large.back())) + "\n"));
}

}  // namespace
