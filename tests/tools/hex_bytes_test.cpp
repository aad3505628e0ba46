// Raw frames written as hex, for `quillonctl send`.
#include "tools/client/hex_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes parsed(const std::string& text) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(parseHexBytes(text, bytes, error)) << text << ": " << error;
    return bytes;
}

std::string errorFor(const std::string& text) {
    Bytes bytes{0x99};
    std::string error;
    EXPECT_FALSE(parseHexBytes(text, bytes, error)) << text;
    EXPECT_EQ(bytes, Bytes{0x99}) << "a failed parse must leave the bytes alone";
    return error;
}

TEST(HexBytes, PairsSeparatedBySpacesOrCommasInEitherCase) {
    EXPECT_EQ(parsed("05 ff 07"), (Bytes{0x05, 0xFF, 0x07}));
    EXPECT_EQ(parsed("05,FF, 07"), (Bytes{0x05, 0xFF, 0x07}));
    EXPECT_EQ(parsed("  0a\t0B \n"), (Bytes{0x0A, 0x0B}));
}

TEST(HexBytes, RunsOfPairsPrefixesAndSingleDigits) {
    EXPECT_EQ(parsed("05ff07"), (Bytes{0x05, 0xFF, 0x07}));
    EXPECT_EQ(parsed("0x05 0XfF"), (Bytes{0x05, 0xFF}));
    EXPECT_EQ(parsed("6 3"), (Bytes{0x06, 0x03}));
    EXPECT_EQ(parsed("0x1"), (Bytes{0x01}));
}

TEST(HexBytes, BadHexIsExplained) {
    EXPECT_NE(errorFor("zz").find("'zz' is not a hex byte"), std::string::npos);
    EXPECT_NE(errorFor("05 g1").find("'g1'"), std::string::npos);
    EXPECT_NE(errorFor("5ff").find("odd number of digits"), std::string::npos);
    EXPECT_NE(errorFor("0x").find("no digits after 0x"), std::string::npos);
    EXPECT_NE(errorFor("-1").find("not a hex byte"), std::string::npos);
}

TEST(HexBytes, NothingToSendIsAnError) {
    EXPECT_NE(errorFor("").find("no bytes"), std::string::npos);
    EXPECT_NE(errorFor(" , ").find("no bytes"), std::string::npos);
}

TEST(HexBytes, FormatsAsUpperCasePairsAndCutsLongMessages) {
    EXPECT_EQ(formatHexBytes({0x0A, 0xFF, 0x00}), "0A FF 00");
    EXPECT_EQ(formatHexBytes({}), "");
    EXPECT_EQ(formatHexBytes({1, 2, 3, 4, 5}, 2), "01 02 ... (3 more)");
    EXPECT_EQ(formatHexBytes({1, 2}, 2), "01 02");
}

TEST(HexBytes, FormattedBytesReadBackTheSame) {
    Bytes all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<std::uint8_t>(b));
    }
    EXPECT_EQ(parsed(formatHexBytes(all)), all);
}

}  // namespace
