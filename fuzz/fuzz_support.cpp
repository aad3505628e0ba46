#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string workDir;

void removeWorkDir() {
    std::error_code ignored;
    std::filesystem::remove_all(workDir, ignored);
}

}  // namespace

void enterFuzzWorkingDirectory() {
    if (!workDir.empty()) {
        return;
    }
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::perror("fuzz: /dev/null");
    }
    char pattern[] = "/tmp/quillon-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) {
        std::perror("fuzz: working directory");
        std::abort();
    }
    workDir = pattern;
    std::atexit(removeWorkDir);
}

void emptyWorkingDirectory() {
    DIR* dir = opendir(".");
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            std::remove(name.c_str());
        }
    }
    closedir(dir);
}

std::uint8_t FuzzInput::byte() {
    if (left == 0) {
        return 0;
    }
    --left;
    return *at++;
}

std::string_view FuzzInput::bytes(std::size_t most) {
    const std::size_t taken = most < left ? most : left;
    const std::string_view piece(reinterpret_cast<const char*>(at), taken);
    at += taken;
    left -= taken;
    return piece;
}

std::string_view FuzzInput::until(char separator) {
    const std::string_view rest(reinterpret_cast<const char*>(at), left);
    const std::size_t end = rest.find(separator);
    const std::string_view piece = rest.substr(0, end);
    const std::size_t taken = end == std::string_view::npos ? left : end + 1;
    at += taken;
    left -= taken;
    return piece;
}

void fuzzCheck(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}
