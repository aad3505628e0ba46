// Test helpers for file work: a fresh working directory per test, and small
// readers and writers of whole files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Creates an empty temporary directory and makes it the working directory;
// restores the previous working directory and removes the temporary one when
// it goes out of scope.
class ScratchDirectory {
  public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file);
std::string readText(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
void writeText(const std::filesystem::path& file, const std::string& text);
bool fileExists(const std::filesystem::path& file);

// tests/golden/<name>
std::filesystem::path goldenCase(const std::string& name);
