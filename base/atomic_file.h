// Replacing a file all at once: readers see either the old content or the
// whole new content, never a part.
#pragma once

#include <cstddef>
#include <string>

// The outcome of a replacement: done, or the step that failed and why.
struct FileWrite {
    enum class Step { none, open, write, sync, close, rename };
    Step failed = Step::none;
    int error = 0;       // errno of the failed step
    std::string reason;  // for the log: "cannot write W&B.txt.tmp: No space left on device"

    explicit operator bool() const { return failed == Step::none; }
};

// Writes size bytes to fileName + ".tmp" in the same directory, flushes them
// to the disk and renames the temporary file onto fileName. On failure,
// fileName is untouched, the temporary file removed, and the result names the
// step, its errno and both in words. Main thread (or any one thread per file
// name at a time).
FileWrite writeFileAtomically(const std::string& fileName, const void* data, std::size_t size);
