// Reading a whole file of the working directory into memory, within a bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class FileRead { Read, Missing, TooLarge, Failed };

// Reads the file into `bytes` (replacing what it held) unless it is larger
// than `maxBytes`; on Missing or Failed, errno says why. Any thread, but files
// of the working directory belong to the main thread.
FileRead readWholeFile(const std::string& name, std::size_t maxBytes, std::string& bytes);
FileRead readWholeFile(const std::string& name, std::size_t maxBytes,
                       std::vector<std::uint8_t>& bytes);

// The size of the file, or -1 when there is none.
std::int64_t fileSize(const std::string& name);

// What a file is now: equal stamps, the same file with the same bytes (as far
// as its size, its time of change and its inode tell).
struct FileStamp {
    bool present = false;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp fileStamp(const std::string& name);
