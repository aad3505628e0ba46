// One reading of "W&B.txt" for identification and upload, answered at once,
// and identification only with the gestures the model was trained on.
#include <gtest/gtest.h>

#include <optional>

#include <unistd.h>

#include <memory>
#include <string>

#include "tests/support/http_exchange.h"
#include "tests/support/server_fixtures.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

class ModelRefusals : public ServerWithArmband {};

TEST_F(ModelRefusals, AModelFileOfGigabytesIsRefusedAtOnce) {
    ASSERT_EQ(answerTo({0x05, 0xFF, 0x07}), (Bytes{0x05, 0x00}));
    writeFile(server.file("W&B.txt"), "");
    ASSERT_EQ(truncate(server.file("W&B.txt").c_str(), 8LL << 30), 0);  // sparse: no disk used
    writeFile(server.file("W&B.gestures"), "0x07\n");
    // Reading 8 GiB takes many seconds; refusing it by its size takes none.
    EXPECT_EQ(answerTo({0x08}, 3s), (Bytes{0x08, 0xFF}));
    EXPECT_EQ(answerTo({0x0C}, 3s), (Bytes{0x0C, 0xFF}));
}

TEST_F(ModelRefusals, ModelsThatAreNotFiniteOrNotEvenAreRefusedByIdentificationAndUpload) {
    ASSERT_EQ(answerTo({0x05, 0x03, 0x03}), (Bytes{0x05, 0x00}));
    writeFile(server.file("W&B.gestures"), "0x03\n");
    for (const char* model : {"nan nan nan\n", "0.5 inf -1.0\n", "0.5 0.5\n0.5 0.5 0.5 0.5\n"}) {
        writeFile(server.file("W&B.txt"), model);
        EXPECT_EQ(answerTo({0x08}), (Bytes{0x08, 0xFF})) << model;
        EXPECT_EQ(answerTo({0x0C}), (Bytes{0x0C, 0xFF})) << model;
        EXPECT_FALSE(fileExists(server.file("model.bin"))) << model;
    }
    EXPECT_TRUE(server.waitForLog("W&B.txt refused: line 1: it holds inf"));
}

TEST_F(ModelRefusals, IdentificationNamesOnlyTheGesturesTheModelWasTrainedOn) {
    for (const char* name : {"raw1.bin", "raw2.bin", "raw5.bin"}) {
        writeFile(server.file(name), readFile(std::string(QUILLON_GOLDEN_DIR) + "/case1/" + name));
    }
    ASSERT_EQ(answerTo({0x05, 0x07, 0x13}), (Bytes{0x05, 0x00}));
    ASSERT_EQ(answerTo({0x0A}, 120s), (Bytes{0x0A, 0x00}));
    EXPECT_EQ(readFile(server.file("W&B.gestures")), "0x13\n");
    const auto model = [this] {
        const std::string status = httpRequest(server.port(), "GET", "/api/status").body;
        return status.substr(status.find("\"model\""));
    };
    EXPECT_TRUE(contains(model(), "\"current\": true")) << model();
    // Gestures 1, 2 and 6: three as well, but not the model's.
    ASSERT_EQ(answerTo({0x05, 0x07, 0x23}), (Bytes{0x05, 0x00}));
    EXPECT_EQ(answerTo({0x08}), (Bytes{0x08, 0xFF}));
    EXPECT_TRUE(
        server.waitForLog("the model was trained on gestures 0x13, the configuration names 0x23"));
    EXPECT_TRUE(contains(model(),
                         "The gestures changed: the model knows gesture 1, gesture 2 and "
                         "gesture 5; gesture 1, gesture 2 and gesture 6 are chosen now."))
        << model();
    ASSERT_EQ(answerTo({0x05, 0x07, 0x13}), (Bytes{0x05, 0x00}));
    EXPECT_TRUE(contains(model(), "\"current\": true")) << model();
    writeFile(server.file("raw2.bin"), readFile(server.file("raw2.bin")) + "more");
    EXPECT_TRUE(
        contains(model(), "\"staleBecause\": [\n      \"The recording of gesture 2 changed.\"\n"))
        << model();

    client().send({0x08});
    ASSERT_TRUE(server.waitForLog("identify buffer length:390"));
    EXPECT_EQ(answerTo({0x05, 0x07, 0x13}), (Bytes{0x05, 0xFC})) << "no change while identifying";
    // Reports of the running identification (08 and a gesture) may come first.
    client().send({0x09});
    std::optional<Bytes> stopped;
    while ((stopped = client().nextWithCode(0x08, 10s)) && *stopped != Bytes{0x08, 0xFD}) {
    }
    EXPECT_TRUE(stopped) << "no 08 FD after STOP_IDENTIFY";
    writeFile(server.file("W&B.txt"), readFile(server.file("W&B.txt")) + "\n");
    EXPECT_TRUE(contains(model(), "The model file is not the one trained from these recordings."))
        << model();
}

}  // namespace
