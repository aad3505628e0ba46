#include <gtest/gtest.h>

#include <string>

#include "server/commands/client_commands.h"
#include "server/state/server_context.h"
#include "tests/support/capturing_client.h"
#include "tests/support/event_pump.h"
#include "tests/support/fake_device.h"
#include "tests/support/simulated_armband.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kThreeGestureModel =
    "0.125000 -0.031250 1.500000\n"
    "1.000000 2.000000 -3.000000\n"
    "0.000000 0.500000 0.250000\n";

class ModelCommands : public testing::Test {
  protected:
    ScopedWorkingDirectory workingDirectory;
};

TEST_F(ModelCommands, StopCommandsWithNothingToStopOnlyAcknowledge) {
    FakeArmband armband;
    ScopedCapturingClient& client = armband.client;
    armband.command({STOP_GENERATE_MODEL});
    armband.command({STOP_GENERATE_MODEL, 1});
    armband.command({STOP_MODEL_UPDATE});
    armband.command({STOP_MODEL_UPDATE, 1});
    EXPECT_EQ(client->messages(),
              (std::vector<Bytes>{{0x0A, 0xFD}, {0x0A, 0xFF}, {0x0C, 0xFD}, {0x0C, 0xFF}}));
}

TEST_F(ModelCommands, GenerationOfTheWrongLengthIsRefused) {
    FakeArmband armband;
    ScopedCapturingClient& client = armband.client;
    armband.command({GENERATE_MODEL, 0});
    EXPECT_EQ(client->messages(), (std::vector<Bytes>{{0x0A, 0xFF}}));
}

TEST_F(ModelCommands, GenerationWithAMissingRawFileReportsEachStep) {
    FakeArmband armband;
    ScopedCapturingClient& client = armband.client;
    armband.server.acquisition.configure(0x03, 0x06);
    armband.command({GENERATE_MODEL});
    ASSERT_TRUE(armband.pumpUntil([&] { return !client->messages().empty(); }));
    const auto answer = client->messages().at(0);
    ASSERT_GE(answer.size(), 3u);
    EXPECT_EQ(answer[0], 0x0A);
    EXPECT_EQ(answer[1], 0xFF);
}

TEST_F(ModelCommands, AnUpdateOfTheWrongLengthTouchesNoFile) {
    FakeArmband armband;
    ScopedCapturingClient& client = armband.client;
    writeFile("W&B.txt", kThreeGestureModel);
    armband.server.acquisition.configure(0x03, 0x07);
    testing::internal::CaptureStdout();
    armband.command({MODEL_UPDATE, 0});
    EXPECT_NE(testing::internal::GetCapturedStdout().find("MODEL_UPDATE CMD lenght error"),
              std::string::npos);
    EXPECT_EQ(client->messages(), (std::vector<Bytes>{{0x0C, 0xEF}}));
    EXPECT_FALSE(fileExists("model.bin"));
}

TEST_F(ModelCommands, AModelOfAnotherShapeIsNotUploadedAndKeepsTheLastImage) {
    FakeArmband armband;
    ScopedCapturingClient& client = armband.client;
    writeFile("W&B.txt", kThreeGestureModel);
    writeFile("model.bin", "earlier image");
    armband.server.acquisition.configure(0x03, 0x0F);
    armband.command({MODEL_UPDATE});
    ASSERT_TRUE(armband.pumpUntil([&] { return !client->messages().empty(); }));
    EXPECT_EQ(client->messages(), (std::vector<Bytes>{{0x0C, 0xFF}}));
    EXPECT_EQ(readFile("model.bin"), "earlier image");
    EXPECT_TRUE(armband.device->setting->lastUpload().empty());
}

TEST_F(ModelCommands, AnUploadSendsTheImageAndTheArmbandReportsProgressToDone) {
    SimulatedArmband armband;
    ASSERT_TRUE(armband.scanAndConnect());
    writeFile("W&B.txt", kThreeGestureModel);
    armband.server.acquisition.configure(0x03, 0x07);
    armband.client->clear();
    armband.command({MODEL_UPDATE});
    ASSERT_TRUE(armband.waitForMessage({0x0C}));
    const Bytes image = armband.wearer().lastModel();
    ASSERT_EQ(image.size(), 96u);
    EXPECT_EQ(image[0], 0x03);
    EXPECT_EQ(image[1], 3);
    EXPECT_EQ(image[2], 0x30);
    EXPECT_EQ(image[3], 0x00);
    const std::string file = readFile("model.bin");
    EXPECT_EQ(Bytes(file.begin(), file.end()), image);
    const auto progress = armband.client->messagesWithCode(0x0D);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), (Bytes{0x0D, 100}));
    EXPECT_EQ(armband.client->messagesWithCode(0x0C), (std::vector<Bytes>{{0x0C, 0x00}}));
}

}  // namespace
