// The end of a recording window: the recording is appended to its gesture's
// raw file, "raw" + gesture number + ".bin", which only ever grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

std::string rawFileName(std::uint8_t gesture);

// Appends the bytes to the file, creating it if absent. On any failure the
// file is cut back to the length it had, logged, and false is returned.
bool appendToRawFile(const std::string& name, const std::uint8_t* data, std::size_t length);
