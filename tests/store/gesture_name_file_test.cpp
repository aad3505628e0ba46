#include "store/gesture_name_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

TEST(GestureNames, OnlyShortPrintableNamesOfGestures1To8AreTaken) {
    std::string error;
    const auto names = parseGestureNames(R"({"names": ["Fist", "", "Open hand \u00e9"]})", error);
    ASSERT_TRUE(names) << error;
    EXPECT_EQ((*names)[0], "Fist");
    EXPECT_EQ((*names)[2], "Open hand \xc3\xa9");
    EXPECT_EQ((*names)[7], "");
    const char* refused[] = {
        "",
        "[\"Fist\"]",
        R"({"names": "Fist"})",
        R"({"names": ["1","2","3","4","5","6","7","8","9"]})",
        R"({"names": [3]})",
        R"({"names": ["a\nb"]})",
        R"({"names": ["12345678901234567890123456789012345678901"]})",
        "{\"names\": [\"\xff\"]}",
        R"({"names": ["Fist")",
    };
    for (const char* text : refused) {
        error.clear();
        EXPECT_FALSE(parseGestureNames(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(GestureNames, SavedNamesAreLoadedBackAndAMissingFileMeansNoNames) {
    ScopedWorkingDirectory scratch;
    EXPECT_EQ(loadGestureNames(), GestureNameList{});
    GestureNameList names;
    names[1] = "Spread";
    ASSERT_TRUE(saveGestureNames(names));
    EXPECT_EQ(loadGestureNames(), names);
    writeFile(kGestureNamesFileName, "{broken");
    EXPECT_EQ(loadGestureNames(), GestureNameList{});
}

}  // namespace
