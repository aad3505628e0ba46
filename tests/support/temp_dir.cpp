#include "tests/support/temp_dir.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

TempDir::TempDir() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/quillon-test-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        dir = pattern;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!dir.empty()) {
        std::filesystem::remove_all(dir, ignored);
    }
}

ScopedWorkingDirectory::ScopedWorkingDirectory() {
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(temp.path());
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }
