#include "pipeline/model_provenance.h"

#include <gtest/gtest.h>

namespace {

RecordedWindow window(std::uint64_t first, std::int64_t ended) {
    return {first, 1000, 0xFF, ended};
}

TEST(ModelProvenance, TheReasonsSayWhichWindowsOfWhichGestureChanged) {
    GestureNameList names;
    names[0] = "Fist";
    ModelProvenance trained{0xFF, 0x07, 42, {}};
    trained.recordings = {{1, 2000, 9, std::vector{window(0, 5), window(1000, 9)}},
                          {2, 1000, 9, std::vector{window(0, 9)}},
                          {3, 1000, 9, std::nullopt}};
    ModelProvenance now = trained;
    now.channelMask = 0;  // none configured: not compared
    now.gestureMask = 0;
    EXPECT_EQ(staleReasons(trained, now, names), std::vector<std::string>{});

    // Fist's first window replaced by a new one (the old second is now first),
    // a window added to gesture 2, gesture 3's file of unknown windows grown.
    now.recordings[0].windows = std::vector{window(0, 9), window(1000, 30)};
    now.recordings[1].windows = std::vector{window(0, 9), window(1000, 40)};
    now.recordings[2].bytes = 1200;
    EXPECT_EQ(staleReasons(trained, now, names),
              (std::vector<std::string>{"Fist was recorded again (1 window added, 1 removed).",
                                        "1 window of gesture 2 was added.",
                                        "The recording of gesture 3 changed."}));

    now.recordings = {{2, 0, 9, std::vector<RecordedWindow>{}}};
    now.gestureMask = 0x03;
    EXPECT_EQ(staleReasons(trained, now, names),
              (std::vector<std::string>{
                  "The gestures changed: the model knows Fist, gesture 2 and gesture 3; Fist and "
                  "gesture 2 are chosen now.",
                  "The recording of Fist was deleted.", "1 window of gesture 2 was removed.",
                  "The recording of gesture 3 was deleted."}));

    now.modelFingerprint = 43;
    EXPECT_EQ(
        staleReasons(trained, now, names),
        std::vector<std::string>{"The model file is not the one trained from these recordings."});
}

}  // namespace
