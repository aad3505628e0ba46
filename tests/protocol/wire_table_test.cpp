// The page's copy of the protocol (web/js/protocol.js) against the server's
// table: the same names with the same codes, and the same constants.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <span>
#include <sstream>
#include <string>

#include "protocol/emg_rate.h"
#include "protocol/recording_window.h"
#include "protocol/wire_names.h"

namespace {

using CodeTable = std::map<std::string, long>;

std::string pageProtocolSource() {
    std::ifstream file(QUILLON_WEB_DIR "/js/protocol.js");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The entries NAME: value of `export const <table> = Object.freeze({ ... });`.
CodeTable pageTable(const std::string& source, const std::string& table) {
    const std::string opening = "export const " + table + " = Object.freeze({";
    const std::size_t begin = source.find(opening);
    if (begin == std::string::npos) {
        return {};
    }
    const std::size_t from = begin + opening.size();
    const std::string body = source.substr(from, source.find("});", from) - from);
    static const std::regex entry(R"(\b([A-Z_][A-Z0-9_]*)\s*:\s*(0x[0-9a-fA-F]+|[0-9]+)\b)");
    CodeTable entries;
    for (std::sregex_iterator it(body.begin(), body.end(), entry), end; it != end; ++it) {
        entries[(*it)[1].str()] = std::stol((*it)[2].str(), nullptr, 0);
    }
    return entries;
}

// The value's text of `export const NAME = value;`, quotes removed.
std::string pageConstant(const std::string& source, const std::string& name) {
    std::smatch found;
    const std::regex constant("export const " + name + " = '?([^';\\n]*)'?;");
    return std::regex_search(source, found, constant) ? found[1].str() : "";
}

CodeTable serverTable(std::span<const WireName> names, const std::string& prefix = {}) {
    CodeTable entries;
    for (const WireName& name : names) {
        const std::string text = name.name;
        entries[text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text] = name.code;
    }
    return entries;
}

TEST(WireTable, ThePageSpeaksTheServersCodesAndConstants) {
    const std::string source = pageProtocolSource();
    ASSERT_FALSE(source.empty()) << "web/js/protocol.js cannot be read";
    EXPECT_EQ(pageTable(source, "Command"), serverTable(kCommandNames));
    EXPECT_EQ(pageTable(source, "Answer"), serverTable(kAnswerNames));
    EXPECT_EQ(pageTable(source, "Status"), serverTable(kStatusNames, "STATUS_"));
    EXPECT_EQ(std::strtol(pageConstant(source, "NO_GESTURE").c_str(), nullptr, 0), kNoGesture);
    EXPECT_EQ(pageConstant(source, "UNKNOWN_VERSION"), kUnknownVersion);
    EXPECT_EQ(std::strtod(pageConstant(source, "FRAMES_PER_SECOND").c_str(), nullptr),
              kEmgFramesPerSecond);
    EXPECT_EQ(std::strtol(pageConstant(source, "RECORD_WINDOW_MS").c_str(), nullptr, 10),
              RECORD_WINDOW_MS);
}

}  // namespace
