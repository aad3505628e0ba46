// Replacing a file all at once: readers see either the old content or the
// whole new content, never a part.
#pragma once

#include <cstddef>
#include <string>

// Writes size bytes to fileName + ".tmp" in the same directory, flushes them
// to the disk and renames the temporary file onto fileName. False, with
// fileName untouched and the temporary file removed, when any of that fails.
// Main thread (or any one thread per file name at a time).
bool writeFileAtomically(const std::string& fileName, const void* data, std::size_t size);
