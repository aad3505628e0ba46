#include "tests/support/temp_dir.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <system_error>

TempDir::TempDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/quillon-test-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        dir = pattern;
    } else {
        ADD_FAILURE() << "cannot make a temporary directory";
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!dir.empty()) {
        std::filesystem::remove_all(dir, ignored);
    }
}

ScopedWorkingDirectory::ScopedWorkingDirectory() : previous(std::filesystem::current_path()) {
    if (ready()) {
        std::filesystem::current_path(temp.path());
    }
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

std::filesystem::path goldenPath(const std::string& relative) {
    return std::filesystem::path(QUILLON_GOLDEN_DIR) / relative;
}
