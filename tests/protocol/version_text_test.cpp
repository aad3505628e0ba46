#include "protocol/version_text.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionText, HardwareDigitsAreRightAlignedInTheFirstGroup) {
    EXPECT_EQ(formatHardwareVersion("H7"), "007.000.000");
    EXPECT_EQ(formatHardwareVersion("H12"), "012.000.000");
    EXPECT_EQ(formatHardwareVersion("H123"), "123.000.000");
}

TEST(VersionText, HardwareStringsOfTheWrongLengthAreUnknown) {
    EXPECT_EQ(formatHardwareVersion(""), "---.---.---");
    EXPECT_EQ(formatHardwareVersion("H"), "---.---.---");
    EXPECT_EQ(formatHardwareVersion("H1234"), "---.---.---");
}

TEST(VersionText, FirmwareGroupsAreRightAligned) {
    EXPECT_EQ(formatFirmwareVersion("V1.2-3"), "001.002.003");
    EXPECT_EQ(formatFirmwareVersion("V10.20-300"), "010.020.300");
    EXPECT_EQ(formatFirmwareVersion("V1.4-27"), "001.004.027");
    EXPECT_EQ(formatFirmwareVersion(""), "---.---.---");
}

TEST(VersionText, MalformedFirmwareStringsAreUnknownAndNeverOverrunTheText) {
    for (const char* malformed : {"V1234.5-6", "V1.2345-6", "V1.2-34567", "V12", "V1-2.3", "V.-",
                                  "x", "V1.2", "V1-2", ".1-2", "V99999999999.1-1"}) {
        const std::string text = formatFirmwareVersion(malformed);
        EXPECT_EQ(text.size(), 11u) << malformed;
    }
    EXPECT_EQ(formatFirmwareVersion("V1234.5-6"), "---.---.---");
    EXPECT_EQ(formatFirmwareVersion("V1-2.3"), "---.---.---");
    // Empty groups keep their zeros.
    EXPECT_EQ(formatFirmwareVersion("V.-"), "000.000.000");
}

TEST(VersionText, WideStringsNarrowInTheCurrentLocale) {
    EXPECT_EQ(toNarrow(L"V1.4-27"), "V1.4-27");
    EXPECT_EQ(toNarrow(L""), "");
}

}  // namespace
