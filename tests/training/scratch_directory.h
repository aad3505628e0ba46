// Test helpers for file work: a fresh working directory per test, whole-file
// readers and writers, and the log captured around a call.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Makes an empty temporary directory the working directory; restores the
// previous one and removes the temporary one on destruction.
class ScratchDirectory {
  public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file);
std::string readText(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
void writeText(const std::filesystem::path& file, const std::string& text);
bool fileExists(const std::filesystem::path& file);
// Values as a feature file holds them: each "%f ".
std::string featureText(const std::vector<float>& values);
// tests/golden/<name>
std::filesystem::path goldenCase(const std::string& name);

// Runs call and returns what it logged.
template <class Call>
std::string logOf(Call&& call) {
    testing::internal::CaptureStdout();
    call();
    return testing::internal::GetCapturedStdout();
}
