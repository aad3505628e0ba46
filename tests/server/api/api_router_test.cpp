#include "server/api/api_router.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <optional>

#include "protocol/emg_rate.h"
#include "server/device/recording_timer.h"
#include "server/state/server_context.h"
#include "signal/identify_mode.h"
#include "tests/support/event_pump.h"
#include "tests/support/simulated_recordings.h"
#include "tests/support/temp_dir.h"

namespace {

struct Exchange {
    const char* method;
    std::string target;
    int status;
    const char* contentType;  // nullptr: not checked
    std::string body = {};
    bool withHeader = true;  // X-Quillon-Request: 1
};

class Api : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.ready());
        server.acquisition.configure(0xFF, 0x03);
        writeSimulatedRawFiles({1, 2}, 8, 4);
    }

    // The response, once the main loop (played here) has handed it over.
    ApiResponse call(const std::string& method, const std::string& target,
                     const std::string& body = {}, bool withHeader = true) {
        ApiRequest request;
        request.method = method;
        request.target = target;
        request.quillonRequest = withHeader ? "1" : "";
        request.body = body;
        std::optional<ApiResponse> response;
        handleApiRequest(server, request, [&response](ApiResponse answer) { response = answer; });
        EXPECT_TRUE(pumpEventsUntil(server, [&response] { return response.has_value(); }))
            << method << " " << target;
        return response.value_or(ApiResponse{});
    }

    void expectAll(const std::vector<Exchange>& exchanges) {
        for (const Exchange& e : exchanges) {
            const ApiResponse response = call(e.method, e.target, e.body, e.withHeader);
            EXPECT_EQ(response.status, e.status) << e.method << " " << e.target << "\n"
                                                 << *response.body;
            ASSERT_TRUE(response.body) << e.target;
            if (e.contentType != nullptr) {
                EXPECT_EQ(response.contentType, e.contentType) << e.method << " " << e.target;
            }
            if (e.status == 405) {
                EXPECT_FALSE(response.allow.empty()) << e.target;
                EXPECT_EQ(response.allow.find(e.method), std::string::npos) << e.target;
            }
        }
    }

    ScopedWorkingDirectory scratch;
    ServerContext server{nullptr};
};

constexpr const char* kJson = "application/json";

TEST_F(Api, StatusAndEvaluationAreReadOnly) {
    expectAll({{"GET", "/api/status", 200, kJson},
               {"HEAD", "/api/status", 200, kJson},
               {"GET", "/api/status?x=1", 200, kJson},
               {"POST", "/api/status", 405, kJson},
               {"OPTIONS", "/api/status", 405, kJson},
               {"GET", "/api/evaluation", 200, kJson},
               {"PUT", "/api/evaluation", 405, kJson},
               {"GET", "/api", 404, kJson},
               {"GET", "/api/", 404, kJson},
               {"GET", "/api/statuses", 404, kJson},
               {"GET", "/api/status/", 404, kJson}});
    auto status = nlohmann::json::parse(*call("GET", "/api/status").body);
    EXPECT_EQ(status["dataMode"], "idle");
    EXPECT_EQ(status["recording"], nullptr);
    EXPECT_EQ(status["configuration"]["gestures"], nlohmann::json({1, 2}));
    EXPECT_EQ(status["model"]["present"], false);
    EXPECT_EQ(status["model"]["trainedGestures"], nullptr);
    writeFile("W&B.txt", "1.000000 2.000000 0.500000\n");
    writeFile("W&B.gestures", "0x05\n");
    status = nlohmann::json::parse(*call("GET", "/api/status").body);
    EXPECT_EQ(status["model"]["usable"], true) << status.dump();
    EXPECT_EQ(status["model"]["channels"], 2);
    EXPECT_EQ(status["model"]["gestures"], 2);
    EXPECT_EQ(status["model"]["trainedGestures"], nlohmann::json({1, 3}));
    // A window under way: its gesture and the seconds of EMG it holds so far.
    server.acquisition.dataMode = RECORD_MODE;
    server.acquisition.recordingGesture = 2;
    server.routing.startRecording(RecordingPlan{1, 2, 0xFF, kRecordWindowFrames});
    const std::vector<std::uint8_t> packet(16 * 8, 128);
    for (int i = 0; i < 2 * static_cast<int>(kEmgFramesPerSecond) / 16; ++i) {
        server.routing.route(packet);
    }
    status = nlohmann::json::parse(*call("GET", "/api/status").body);
    EXPECT_EQ(status["recording"]["gesture"], 2);
    EXPECT_DOUBLE_EQ(status["recording"]["seconds"].get<double>(), 81 * 16 / kEmgFramesPerSecond);
    server.routing.stopRecording();
    server.acquisition.dataMode = IDLE_MODE;
    const auto evaluation = nlohmann::json::parse(*call("GET", "/api/evaluation").body);
    EXPECT_EQ(evaluation["evaluated"], true) << evaluation.dump();
    // Rest is the first class: a square matrix over rest and the two gestures.
    EXPECT_EQ(evaluation["classes"][0],
              (nlohmann::json{{"gesture", 0},
                              {"name", "Rest"},
                              {"recall", evaluation["classes"][0]["recall"]},
                              {"precision", evaluation["classes"][0]["precision"]}}));
    EXPECT_EQ(evaluation["classes"].size(), 3u);
    EXPECT_EQ(evaluation["confusion"].size(), 3u);
    EXPECT_EQ(evaluation["confusion"][2].size(), 3u);
}

TEST_F(Api, RecordingsAreListedExportedAndDeletedOnlyWithTheHeaderAndWhileIdle) {
    expectAll({{"GET", "/api/recordings", 200, kJson},
               {"GET", "/api/recordings/1", 200, kJson},
               {"GET", "/api/recordings/3", 404, kJson},
               {"GET", "/api/recordings/0", 404, kJson},
               {"GET", "/api/recordings/9", 404, kJson},
               {"GET", "/api/recordings/01", 404, kJson},
               {"GET", "/api/recordings/1.txt", 404, kJson},
               {"GET", "/api/recordings/1.csv", 200, "text/csv; charset=utf-8"},
               {"GET", "/api/recordings/2.edf", 200, "application/octet-stream"},
               {"HEAD", "/api/recordings/2.edf", 200, "application/octet-stream"},
               {"GET", "/api/recordings/3.csv", 404, kJson},
               {"DELETE", "/api/recordings/1.csv", 405, kJson},
               {"POST", "/api/recordings", 405, kJson},
               {"DELETE", "/api/recordings/1", 403, kJson, {}, false}});
    EXPECT_TRUE(fileExists("raw1.bin"));

    server.acquisition.dataMode = RECORD_MODE;
    expectAll({{"DELETE", "/api/recordings/1", 409, kJson}});
    EXPECT_TRUE(fileExists("raw1.bin"));
    server.acquisition.dataMode = IDLE_MODE;
    server.training.running = true;  // a training under way is waited for too
    expectAll({{"DELETE", "/api/recordings/1", 409, kJson}});
    server.training.running = false;

    writeFile("raw1.windows", "0 10 255 5\n");
    expectAll(
        {{"DELETE", "/api/recordings/1", 200, kJson}, {"DELETE", "/api/recordings/1", 404, kJson}});
    EXPECT_FALSE(fileExists("raw1.bin"));
    EXPECT_FALSE(fileExists("raw1.windows"));
    EXPECT_TRUE(fileExists("raw2.bin"));
    const auto list = nlohmann::json::parse(*call("GET", "/api/recordings").body);
    ASSERT_EQ(list["recordings"].size(), 1u);
    EXPECT_EQ(list["recordings"][0]["gesture"], 2);
    EXPECT_EQ(list["recordings"][0]["frames"], kRecordWindowFrames);
    EXPECT_EQ(list["recordings"][0]["windows"], nullptr);  // no window log
    EXPECT_GE(list["recordings"][0]["activeWindows"], 25);
}

TEST_F(Api, NamesAndSettingsChangeOnlyWithTheHeaderAndWhileIdle) {
    const std::string names = R"({"names": ["Fist", "Spread"]})";
    expectAll({{"GET", "/api/gestures", 200, kJson},
               {"PUT", "/api/gestures", 403, kJson, names, false},
               {"PUT", "/api/gestures", 400, kJson, "{\"names\": 3}"},
               {"PUT", "/api/gestures", 413, kJson, std::string(5000, ' ')},
               {"DELETE", "/api/gestures", 405, kJson},
               {"PUT", "/api/settings", 400, kJson, R"({"identifyMode": "fast"})"},
               {"PUT", "/api/settings", 403, kJson, R"({"identifyMode": "calibrated"})", false}});
    EXPECT_FALSE(fileExists("gesture_names.json"));
    EXPECT_EQ(server.identifyMode, IdentifyMode::exact);

    server.acquisition.dataMode = IDENTIFY_MODE;
    expectAll({{"PUT", "/api/gestures", 409, kJson, names},
               {"PUT", "/api/settings", 409, kJson, R"({"identifyMode": "calibrated"})"},
               {"GET", "/api/gestures", 200, kJson}});
    server.acquisition.dataMode = IDLE_MODE;
    EXPECT_FALSE(fileExists("gesture_names.json"));

    expectAll({{"PUT", "/api/gestures", 200, kJson, names},
               {"PUT", "/api/settings", 200, kJson, R"({"identifyMode": "calibrated"})"}});
    EXPECT_EQ(nlohmann::json::parse(*call("GET", "/api/gestures").body)["names"][1], "Spread");
    EXPECT_EQ(server.identifyMode, IdentifyMode::calibrated);
    const auto status = nlohmann::json::parse(*call("GET", "/api/status").body);
    EXPECT_EQ(status["identifyMode"], "calibrated");
    EXPECT_EQ(status["gestureNames"][0], "Fist");
}

}  // namespace

namespace {

TEST_F(Api, AnyRequestWhateverItHoldsGetsOneOfTheApisAnswers) {
    const char* methods[] = {"GET", "HEAD", "PUT", "DELETE", "POST", "OPTIONS", "get", ""};
    const char* pieces[] = {"/api", "/recordings", "/gestures", "/settings", "/status",
                            "/1",   ".csv",        ".edf",      "/9",        "/",
                            "%00",  "?x=/api",     "..",        "\xff",      "/evaluation"};
    const char* bodies[] = {"{\"names\": [\"a\"]}",
                            "{\"identifyMode\": \"exact\"}",
                            "{",
                            "[]",
                            "{\"names\": [\"\\ud800\"]}",
                            "\xc3\x28",
                            "null",
                            "{\"names\": [1e999]}"};
    std::uint32_t state = 12345;
    auto next = [&state](std::uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    for (int i = 0; i < 600; ++i) {
        std::string target;
        for (std::uint32_t k = 0, parts = 1 + next(4); k < parts; ++k) {
            target += pieces[next(std::size(pieces))];
        }
        std::string body = bodies[next(std::size(bodies))];
        if (next(4) == 0) {
            body = std::string(next(6000), static_cast<char>('a' + next(26)));
        }
        const ApiResponse response =
            call(methods[next(std::size(methods))], target, body, next(2) == 0);
        ASSERT_TRUE(response.body) << target;
        const int status = response.status;
        EXPECT_TRUE(status == 200 || status == 400 || status == 403 || status == 404 ||
                    status == 405 || status == 409 || status == 413)
            << status << " " << target;
    }
}

}  // namespace
