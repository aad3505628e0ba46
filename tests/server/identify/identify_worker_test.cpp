#include "server/identify/identify_worker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/device/acquisition_state.h"
#include "server/identify/gesture_report.h"
#include "store/identify_model_check.h"
#include "store/model_shape.h"
#include "store/recogniser_file.h"
#include "tests/support/identify_test_support.h"

namespace {

using namespace identify_test;

constexpr std::uint8_t kRestSample = 124;

// A one-channel window whose first half swings by 30 (variance far above 200).
Bytes loudWindow(int channels = 1) {
    Bytes frames;
    for (int t = 0; t < 130; ++t) {
        const bool swing = t < 64;
        const std::uint8_t sample =
            swing ? (t % 2 == 0 ? kRestSample + 30 : kRestSample - 30) : kRestSample;
        frames.insert(frames.end(), static_cast<std::size_t>(channels), sample);
    }
    return frames;
}

Bytes flatWindow(int channels = 1) {
    return Bytes(static_cast<std::size_t>(channels) * 130, kRestSample);
}

// A model whose weights are all 0 and whose biases vote for class `winner` in
// every pair it belongs to, so it wins every classified window.
std::string modelVotingFor(int winner, int gestures, int channels = 1) {
    std::string text;
    for (int k = 1; k <= gestures; ++k) {
        for (int l = k + 1; l <= gestures; ++l) {
            for (int c = 0; c < channels; ++c) {
                text += "0.000000 ";
            }
            text += l == winner ? "-1.000000\n" : "1.000000\n";
        }
    }
    return text;
}

Bytes report(std::uint8_t gesture) {
    return {0x08, gesture};
}

// Classes 1, 2, 3 are gestures 2, 3, 6.
constexpr std::uint8_t kGestures = 0b00100110;

class IdentifyWorker : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(scratch.ready()); }

    // What START_IDENTIFY (or a training that ends during identification)
    // tells the identification thread once it has accepted the model.
    void startIdentify(std::uint32_t channels = 1, IdentifyMode mode = IdentifyMode::exact) {
        worker.requestLoad(IdentifyRun{channels, mode, kGestures});
    }

    std::vector<int> feed(const std::vector<Bytes>& windows) {
        std::vector<int> results;
        for (const Bytes& window : windows) {
            results.push_back(worker.handleWindow(window));
        }
        return results;
    }

    // Priming, onset and two classified windows: the model's class is reported.
    std::vector<int> startMovement() {
        return feed({loudWindow(), loudWindow(), loudWindow(), loudWindow()});
    }

    ScopedWorkingDirectory scratch;
    ClientRegistry clients;
    RegisteredClient client{clients};
    IdentifyWorkerState worker{clients};
};

TEST(GestureNumber, CountsSetBitsOfTheGestureMask) {
    EXPECT_EQ(gestureNumberFor(3, 0b00100110), 6);
    EXPECT_EQ(gestureNumberFor(1, 0b00100110), 2);
    EXPECT_EQ(gestureNumberFor(2, 0b00100110), 3);
    EXPECT_EQ(gestureNumberFor(8, 0xFF), 8);
    EXPECT_EQ(gestureNumberFor(1, 0x80), 8);
}

TEST(GestureNumber, NoGestureForClassZeroOrAClassWithoutABit) {
    EXPECT_EQ(gestureNumberFor(0, 0b00100110), kNoGesture);
    EXPECT_EQ(gestureNumberFor(4, 0b00100110), kNoGesture);
    EXPECT_EQ(gestureNumberFor(9, 0xFF), kNoGesture);
    EXPECT_EQ(gestureNumberFor(1, 0), kNoGesture);
}

TEST(GestureReport, OnlyChangesAreReported) {
    ClientRegistry clients;
    RegisteredClient client(clients);
    std::vector<std::uint8_t> response;
    std::uint8_t lastIdentified = kNoReport;
    const std::string log = logOf([&] {
        for (const int result : {2, 2, 2, 0, 0}) {
            reportGesture(result, lastIdentified, kGestures, clients, response);
        }
    });

    EXPECT_EQ(client->messages(), (std::vector<Bytes>{report(3), report(kNoGesture)}));
    EXPECT_EQ(lastIdentified, 0);
    EXPECT_NE(log.find("]: gesture:2\n"), std::string::npos);
    EXPECT_NE(log.find("]: gesture:0\n"), std::string::npos);
    EXPECT_TRUE(response.empty());
}

TEST_F(IdentifyWorker, AMovementIsReportedOnceAndItsEndAsNoGesture) {
    writeModel(modelVotingFor(2, 3));
    startIdentify();
    std::vector<int> results = startMovement();
    const std::vector<int> rest = feed({flatWindow(), flatWindow(), flatWindow(), flatWindow()});
    results.insert(results.end(), rest.begin(), rest.end());

    EXPECT_EQ(results, (std::vector<int>{0, 0, 0, 2, 2, 2, 2, 0}));
    EXPECT_EQ(client->messages(),
              (std::vector<Bytes>{report(kNoGesture), report(3), report(kNoGesture)}));
}

TEST_F(IdentifyWorker, ANewRunDoesNotRepeatTheLastReportOfThePreviousOne) {
    writeModel(modelVotingFor(2, 3));
    startIdentify();
    startMovement();
    feed({flatWindow(), flatWindow(), flatWindow(), flatWindow()});
    const std::size_t before = client->messages().size();
    ASSERT_EQ(worker.lastReport(), 0);

    startIdentify();  // stopped and started again: the model is loaded anew
    EXPECT_EQ(feed({loudWindow(), loudWindow(), loudWindow()}), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(client->messages().size(), before);
    feed({loudWindow()});
    EXPECT_EQ(client->messages().back(), report(3));

    // After a disconnection the last report is forgotten: the same result is
    // reported again.
    worker.resetLastIdentified();
    startIdentify();
    feed({flatWindow(), flatWindow(), flatWindow()});
    EXPECT_EQ(client->messages().back(), report(kNoGesture));
    EXPECT_EQ(worker.lastReport(), 0);
}

TEST_F(IdentifyWorker, ANewModelDuringIdentificationIsLoadedBeforeTheNextWindow) {
    writeModel(modelVotingFor(1, 3));
    startIdentify();
    startMovement();
    ASSERT_EQ(client->messages().back(), report(2));

    writeModel(modelVotingFor(3, 3));
    startIdentify();  // as a finished training does
    int result = 0;
    const std::string log = logOf([&] { result = worker.handleWindow(loudWindow()); });

    EXPECT_EQ(result, 0);
    EXPECT_NE(log.find("Identify init, detect new model"), std::string::npos);
    EXPECT_TRUE(worker.identifier().primed);
    EXPECT_TRUE(worker.identifier().idle);
    EXPECT_EQ(feed({loudWindow(), loudWindow(), loudWindow()}), (std::vector<int>{0, 0, 3}));
    EXPECT_EQ(client->messages(),
              (std::vector<Bytes>{report(kNoGesture), report(2), report(kNoGesture), report(6)}));
}

TEST_F(IdentifyWorker, AModelForOtherChannelsIsRefusedAndTheRunningOneKeepsGoing) {
    writeModel(modelVotingFor(1, 3));
    startIdentify();
    startMovement();
    const std::size_t reports = client->messages().size();

    writeModel(modelVotingFor(3, 3, 2));
    startIdentify();
    int refused = 0;
    const std::string log = logOf([&] { refused = worker.handleWindow(loudWindow()); });

    EXPECT_EQ(refused, kWindowDropped);
    EXPECT_NE(log.find("W&B.txt has 2 channels, channel count is 1"), std::string::npos);
    EXPECT_EQ(feed({loudWindow(), loudWindow()}), (std::vector<int>{1, 1}));
    EXPECT_EQ(worker.identifier().activeCount, 4);
    EXPECT_EQ(client->messages().size(), reports);
}

TEST_F(IdentifyWorker, AModelTooBigForThePairTableIsRefusedAndTheRunningOneKeepsGoing) {
    writeModel(modelVotingFor(1, 3));
    startIdentify();
    startMovement();

    writeModel(zeroModel(29, 2));
    startIdentify();
    int result = 0;
    const std::string log = logOf([&] { result = worker.handleWindow(loudWindow()); });
    EXPECT_EQ(result, kWindowDropped);
    EXPECT_NE(log.find("W&B.txt refused: it has more than 28 lines"), std::string::npos);
    EXPECT_EQ(worker.identifier().gestures, 3);
    EXPECT_EQ(feed({loudWindow()}), (std::vector<int>{1}));
}

TEST_F(IdentifyWorker, TheLoadTakesTheShapeOfTheFileItReads) {
    writeModel(modelVotingFor(2, 3));
    ModelShape checked;
    ASSERT_TRUE(checkIdentifyModel(checked, 1));
    startIdentify(identifyWindowLengthFor(checked) / 130);
    writeModel(modelVotingFor(2, 2));  // replaced after the check: one line

    const std::string log = logOf([&] { feed({loudWindow()}); });

    EXPECT_EQ(worker.identifier().gestures, 2);
    EXPECT_NE(log.find("identify gesture number:2\n"), std::string::npos);
    EXPECT_EQ(feed({loudWindow(), loudWindow(), loudWindow()}), (std::vector<int>{0, 0, 2}));
}

TEST_F(IdentifyWorker, WithoutAnyModelLoadedEveryWindowIsDropped) {
    startIdentify();  // the file vanished after the command's check
    EXPECT_EQ(feed({loudWindow(), loudWindow(), loudWindow(), loudWindow()}),
              (std::vector<int>(4, kWindowDropped)));
    EXPECT_FALSE(worker.identifier().primed);
    EXPECT_TRUE(client->messages().empty());
    EXPECT_EQ(worker.lastReport(), kNoReport);
}

TEST_F(IdentifyWorker, AMissingFileAtAReloadDropsOneWindowAndKeepsTheEarlierModel) {
    writeModel(modelVotingFor(1, 3));
    startIdentify();
    startMovement();
    std::remove("W&B.txt");
    startIdentify();
    EXPECT_EQ(feed({loudWindow(), loudWindow()}), (std::vector<int>{kWindowDropped, 1}));
}

TEST_F(IdentifyWorker, AWindowOfAnotherSizeThanTheModelTakesIsDropped) {
    writeModel(modelVotingFor(1, 3));
    startIdentify();
    feed({loudWindow()});
    std::vector<int> results;
    const std::string log = logOf([&] {
        results = feed({loudWindow(2), loudWindow(2), Bytes(64, kRestSample)});
    });
    EXPECT_EQ(results, (std::vector<int>(3, kWindowDropped)));
    EXPECT_NE(log.find("window of 260 bytes dropped, the model takes 130"), std::string::npos);
    EXPECT_EQ(log.find("window of 64 bytes"), std::string::npos);  // logged once per model
    EXPECT_EQ(feed({loudWindow(), loudWindow(), loudWindow()}), (std::vector<int>{0, 0, 1}));
}

TEST_F(IdentifyWorker, ARestartWithMoreChannelsLoadsItsModelDespiteWindowsLeftFromBefore) {
    writeModel(modelVotingFor(1, 3));
    startIdentify(1);
    startMovement();

    // Stopped, configured for two channels and started again, while a window
    // of the earlier run is still queued.
    writeModel(modelVotingFor(3, 3, 2));
    startIdentify(2);
    EXPECT_EQ(feed({loudWindow(1)}), (std::vector<int>{kWindowDropped}));
    EXPECT_EQ(worker.identifier().channels, 2);
    EXPECT_EQ(feed({loudWindow(2), loudWindow(2), loudWindow(2), loudWindow(2)}),
              (std::vector<int>{0, 0, 0, 3}));
    EXPECT_EQ(client->messages().back(), report(6));
}

TEST_F(IdentifyWorker, TheThreadClassifiesQueuedWindowsInOrderAndEndsWhenStopped) {
    writeModel(modelVotingFor(2, 3));
    ::IdentifyWorker thread(clients);
    thread.loadModel(IdentifyRun{1, IdentifyMode::exact, kGestures});
    for (int i = 0; i < 4; ++i) {
        thread.push(std::make_shared<Bytes>(loudWindow()));
    }
    ASSERT_TRUE(client->waitForCount(2));
    thread.stop();

    EXPECT_EQ(client->messages(), (std::vector<Bytes>{report(kNoGesture), report(3)}));
    EXPECT_EQ(thread.queued(), 0u);
}

}  // namespace

namespace {

// A one-channel window that swings by 30 throughout.
Bytes loudWholeWindow() {
    Bytes frames(130);
    for (std::size_t t = 0; t < frames.size(); ++t) {
        frames[t] = t % 2 == 0 ? kRestSample + 30 : kRestSample - 30;
    }
    return frames;
}

// A recogniser of one channel beside `modelText`: rest wins on a flat window,
// class 2 on a loud one (the log mean absolute value decides), classes 1 and 3
// never.
void writeRecogniser(const std::string& modelText) {
    RecogniserFile file;
    file.gestureMask = kGestures;
    file.modelChecksum = modelChecksum(modelText);
    RecogniserModel& model = file.model;
    model.channels = 1;
    model.gestures = 3;
    model.restLevel = -3.0f;
    model.lda.classes = 4;
    model.lda.dimension = recogniserDimension(1);
    model.lda.offsets = {0.0f, -100.0f, 0.0f, -100.0f};
    model.lda.weights.assign(4 * model.lda.dimension, 0.0f);
    model.lda.weights[0] = -1.0f;
    model.lda.weights[2 * model.lda.dimension] = 1.0f;
    writeFile(kRecogniserFileName, recogniserText(file));
}

TEST_F(IdentifyWorker, ACalibratedRunReportsTheMajorityOfTheRecognisersRecentDecisions) {
    writeModel(modelVotingFor(2, 3));
    writeRecogniser(modelVotingFor(2, 3));
    startIdentify(1, IdentifyMode::calibrated);
    std::vector<Bytes> windows{flatWindow()};
    windows.insert(windows.end(), 5, loudWholeWindow());
    windows.insert(windows.end(), 5, flatWindow());
    const std::vector<int> results = feed(windows);

    EXPECT_EQ(worker.mode(), IdentifyMode::calibrated);
    EXPECT_EQ(results, (std::vector<int>{0, 0, 0, 0, 0, 2, 2, 2, 2, 2, 0}))
        << "five of the last eight decisions make the report";
    EXPECT_EQ(client->messages(),
              (std::vector<Bytes>{report(kNoGesture), report(3), report(kNoGesture)}));
}

TEST_F(IdentifyWorker, ACalibratedRunNeedsTheRecogniserOfItsOwnTraining) {
    writeModel(modelVotingFor(2, 3));
    startIdentify(1, IdentifyMode::calibrated);
    std::string log = logOf([&] { EXPECT_EQ(feed({flatWindow()}), (std::vector<int>{-1})); });
    EXPECT_NE(log.find("recogniser.txt is missing: train the model again"), std::string::npos)
        << log;

    writeRecogniser(modelVotingFor(3, 3));  // trained beside another W&B.txt
    startIdentify(1, IdentifyMode::calibrated);
    log = logOf([&] { EXPECT_EQ(feed({flatWindow()}), (std::vector<int>{-1})); });
    EXPECT_NE(log.find("belongs to another training"), std::string::npos) << log;
    EXPECT_TRUE(client->messages().empty());
}

TEST_F(IdentifyWorker, AnExactRunNeedsNoRecogniser) {
    writeModel(modelVotingFor(2, 3));
    startIdentify(1, IdentifyMode::exact);
    EXPECT_EQ(feed({loudWindow(), loudWindow(), loudWindow()}), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(worker.mode(), IdentifyMode::exact);
}

}  // namespace
