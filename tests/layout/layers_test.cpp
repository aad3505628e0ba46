// The folders are layers: a file includes only from its own folder and the
// folders below it, so no two folders depend on each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

// Lowest first. A subfolder of server/ is a layer of its own; server/ itself
// holds the composition of them all.
constexpr std::array<const char*, 14> kLayers = {
    "base",
    "tessel",
    "protocol",
    "signal",
    "store",
    "pipeline",
    "server/net",
    "server/device",
    "server/identify",
    "server/state",
    "server/commands",
    "server/api",
    "server",
    "app",
};

// The layer of a path relative to the checkout; -1 when it is in none.
int layerOf(const std::string& path) {
    int found = -1;
    std::size_t longest = 0;
    for (std::size_t i = 0; i < kLayers.size(); ++i) {
        const std::string folder = std::string(kLayers[i]) + "/";
        if (path.starts_with(folder) && folder.size() > longest) {
            found = static_cast<int>(i);
            longest = folder.size();
        }
    }
    return found;
}

TEST(Layers, EveryIncludeReachesOnlyItsOwnLayerOrOneBelow) {
    const std::filesystem::path root = std::filesystem::path(QUILLON_WEB_DIR).parent_path();
    const std::regex include(R"(^\s*#\s*include\s+"([^"]+)\")");
    std::vector<std::string> wrong;
    std::size_t includes = 0;
    for (const char* layer : kLayers) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / layer)) {
            const std::string name = entry.path().extension().string();
            if (name != ".h" && name != ".cpp") {
                continue;
            }
            const std::string from = entry.path().lexically_relative(root).generic_string();
            const int fromLayer = layerOf(from);
            std::ifstream file(entry.path());
            std::string line;
            std::smatch match;
            while (std::getline(file, line)) {
                if (!std::regex_search(line, match, include)) {
                    continue;
                }
                ++includes;
                const std::string to = match[1];
                const int toLayer = to.find('/') == std::string::npos ? fromLayer : layerOf(to);
                if (toLayer > fromLayer) {
                    wrong.push_back(from + " includes " + to);
                }
            }
        }
    }
    EXPECT_GT(includes, 500u) << "the sources were not found under " << root;
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
}

// Every source folder of the server is one of the layers above.
TEST(Layers, NoSourceFolderIsLeftOutOfTheLayers) {
    const std::filesystem::path root = std::filesystem::path(QUILLON_WEB_DIR).parent_path();
    const std::vector<std::string> outside = {"tests", "tools", "bench",   "fuzz",        "build",
                                              "cmake", "web",   "scripts", "node_modules"};
    auto it = std::filesystem::recursive_directory_iterator(root);
    for (; it != std::filesystem::recursive_directory_iterator(); ++it) {
        const std::string path = it->path().lexically_relative(root).generic_string();
        const std::string top = path.substr(0, path.find('/'));
        if (top.starts_with(".") || top.starts_with("build") ||
            std::find(outside.begin(), outside.end(), top) != outside.end()) {
            it.disable_recursion_pending();
            continue;
        }
        const std::string name = it->path().extension().string();
        if (name == ".h" || name == ".cpp") {
            EXPECT_GE(layerOf(path), 0) << path << " is in no layer";
        }
    }
}

}  // namespace
