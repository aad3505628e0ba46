// Model uploads: progress, validation and the model the armband keeps.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "sim_test_support.h"

namespace tessel::sim::testing {
namespace {

using ModelUpload = SimulatedArmband;

// An image as the server builds it: mask, gesture count, weights rounded up.
std::vector<std::uint8_t> modelImage(std::uint8_t mask, std::uint8_t gestures) {
    const std::size_t channels = static_cast<std::size_t>(std::popcount(mask));
    const std::size_t rows = gestures * (gestures - 1u) / 2u;
    const std::size_t length = (rows * (channels + 1) * 4 + 15) / 16 * 16;
    std::vector<std::uint8_t> image(48 + length, 0);
    image[0] = mask;
    image[1] = gestures;
    image[2] = static_cast<std::uint8_t>(length & 0xFF);
    image[3] = static_cast<std::uint8_t>(length >> 8);
    for (std::size_t i = 48; i < 48 + rows * (channels + 1) * 4; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7);
    }
    return image;
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST_F(ModelUpload, ReportsProgressUpTo100AndKeepsTheModel) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    std::vector<std::uint8_t> image = modelImage(0x03, 3);
    ASSERT_EQ(image.size(), 96u);
    Completions done;
    setting->trainModelUpdate(static_cast<std::uint32_t>(image.size()), image.data(),
                              done.progress());
    const std::vector<std::uint8_t> sent = image;
    std::fill(image.begin(), image.end(), 0xEE);  // the armband copied it already
    ASSERT_TRUE(done.waitUntilLast(100));
    const auto all = done.all();
    EXPECT_GE(all.size(), 3u) << "progress is reported several times";
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].result, ResponseResult::Success);
        if (i > 0) {
            EXPECT_GT(all[i].percentage, all[i - 1].percentage);
        }
    }
    EXPECT_EQ(simulation.controller->lastModel(), sent);
    EXPECT_EQ(simulation.controller->status().modelSize, 96u);
}

TEST_F(ModelUpload, AcceptsEveryModelTheServerBuildsForTheGoldenCases) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    for (const char* name : {"case1", "case2", "case3", "case4"}) {
        const auto image =
            readFile(std::string(QUILLON_GOLDEN_DIR) + "/" + name + "/expected/model.bin");
        ASSERT_FALSE(image.empty()) << name;
        Completions done;
        setting->trainModelUpdate(static_cast<std::uint32_t>(image.size()), image.data(),
                                  done.progress());
        ASSERT_TRUE(done.waitUntilLast(100)) << name;
        EXPECT_EQ(done.all().back().result, ResponseResult::Success) << name;
        EXPECT_EQ(simulation.controller->lastModel(), image) << name;
    }
}

TEST_F(ModelUpload, FailsAtOnceForAMalformedImageAndKeepsThePreviousModel) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    const std::vector<std::uint8_t> good = modelImage(0xFF, 8);
    ASSERT_EQ(good.size(), 1056u);
    {
        Completions done;
        setting->trainModelUpdate(static_cast<std::uint32_t>(good.size()), good.data(),
                                  done.progress());
        ASSERT_TRUE(done.waitUntilLast(100));
    }
    struct Broken {
        const char* what;
        std::vector<std::uint8_t> image;
    };
    std::vector<Broken> cases;
    cases.push_back(
        {"shorter than its header", std::vector<std::uint8_t>(good.begin(), good.begin() + 40)});
    cases.push_back({"one byte short", std::vector<std::uint8_t>(good.begin(), good.end() - 1)});
    cases.push_back({"one gesture", modelImage(0x03, 2)});
    cases.back().image[1] = 1;
    cases.push_back({"nine gestures", modelImage(0x03, 2)});
    cases.back().image[1] = 9;
    cases.push_back({"length not a multiple of 16", modelImage(0x03, 2)});
    cases.back().image[2] = 20;
    cases.push_back({"length over 1008", std::vector<std::uint8_t>(48 + 1024, 0)});
    cases.back().image[0] = 0xFF;
    cases.back().image[1] = 8;
    cases.back().image[3] = 4;  // 1024
    cases.push_back({"a header byte not zero", modelImage(0x03, 3)});
    cases.back().image[30] = 1;
    cases.push_back({"no channel", modelImage(0x03, 3)});
    cases.back().image[0] = 0;
    cases.push_back({"weights for other shape", modelImage(0x03, 3)});
    cases.back().image[0] = 0xFF;  // 8 channels need 112 bytes, not 48
    cases.push_back({"empty", {}});
    for (const Broken& broken : cases) {
        Completions done;
        setting->trainModelUpdate(static_cast<std::uint32_t>(broken.image.size()),
                                  broken.image.empty() ? nullptr : broken.image.data(),
                                  done.progress());
        ASSERT_TRUE(done.waitForCount(1)) << broken.what;
        letDueCallbacksRun(std::chrono::milliseconds(10));
        ASSERT_EQ(done.all().size(), 1u) << broken.what << ": one answer and no progress";
        EXPECT_NE(done.all()[0].result, ResponseResult::Success) << broken.what;
    }
    EXPECT_EQ(simulation.controller->lastModel(), good);
}

TEST_F(ModelUpload, EndsWithAFailureWhenTheLinkIsLostOnTheWay) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    const std::vector<std::uint8_t> image = modelImage(0x0F, 4);
    Completions done;
    const ProgressCallback collect = done.progress();
    Controller& controller = *simulation.controller;
    setting->trainModelUpdate(
        static_cast<std::uint32_t>(image.size()), image.data(),
        [&controller, collect](ResponseResult result, std::uint32_t percentage) {
            collect(result, percentage);
            if (percentage == 20) {
                controller.drop();
            }
        });
    ASSERT_TRUE(done.waitForCount(3));
    letDueCallbacksRun();
    const auto all = done.all();
    ASSERT_EQ(all.size(), 3u) << "no progress after the failure";
    EXPECT_EQ(all[1].percentage, 20u);
    EXPECT_EQ(all[2].result, ResponseResult::Disconnected);
    EXPECT_TRUE(simulation.controller->lastModel().empty());
}

TEST_F(ModelUpload, FollowsAnUploadAlreadyUnderWay) {
    start();
    const auto setting = connectArmband();
    ASSERT_TRUE(setting);
    const auto first = modelImage(0x03, 2);
    const auto second = modelImage(0x07, 5);
    std::mutex lock;
    std::vector<std::pair<int, std::uint32_t>> order;
    Completions last;
    const ProgressCallback lastCollect = last.progress();
    const auto tagged = [&](int which) {
        return [&, which, lastCollect](ResponseResult result, std::uint32_t percentage) {
            {
                std::lock_guard<std::mutex> guard(lock);
                order.emplace_back(which, percentage);
            }
            if (which == 2) {
                lastCollect(result, percentage);
            }
        };
    };
    setting->trainModelUpdate(static_cast<std::uint32_t>(first.size()), first.data(), tagged(1));
    setting->trainModelUpdate(static_cast<std::uint32_t>(second.size()), second.data(), tagged(2));
    ASSERT_TRUE(last.waitUntilLast(100));
    std::lock_guard<std::mutex> guard(lock);
    const auto firstOfSecond = std::find_if(order.begin(), order.end(),
                                            [](const auto& entry) { return entry.first == 2; });
    ASSERT_NE(firstOfSecond, order.begin());
    EXPECT_EQ(*(firstOfSecond - 1), std::make_pair(1, 100u)) << "the first upload ends first";
    EXPECT_EQ(simulation.controller->lastModel(), second);
}

}  // namespace
}  // namespace tessel::sim::testing
