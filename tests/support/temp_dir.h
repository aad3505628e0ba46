#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh directory under /tmp, removed with everything in it on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + "/" + name; }

  private:
    std::string dir;
};

// Makes a fresh temporary directory the working directory for its lifetime.
class ScopedWorkingDirectory {
  public:
    ScopedWorkingDirectory();
    ~ScopedWorkingDirectory();
    const TempDir& dir() const { return temp; }
    bool ready() const { return !temp.path().empty(); }

  private:
    TempDir temp;
    std::filesystem::path previous;
};

// Whole files, read and written as bytes.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
// True for anything at the path, a dangling link included.
bool fileExists(const std::filesystem::path& path);
// tests/golden/<relative>
std::filesystem::path goldenPath(const std::string& relative);

// Runs body and returns what it logged to standard output.
template <typename Body>
std::string logOf(Body&& body) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}
