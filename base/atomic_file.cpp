#include "base/atomic_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

FileWrite failure(FileWrite::Step step, int error, const std::string& what) {
    return FileWrite{step, error,
                     what + ": " + (error != 0 ? std::strerror(error) : "no reason given")};
}

}  // namespace

FileWrite writeFileAtomically(const std::string& fileName, const void* data, std::size_t size) {
    const std::string temporary = fileName + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        return failure(FileWrite::Step::open, errno, "cannot create " + temporary);
    }
    FileWrite result;
    // The first step that fails is the one reported; the file is closed anyway.
    const auto check = [&result, &temporary](bool done, FileWrite::Step step, const char* verb) {
        if (!done && result) {
            result = failure(step, errno, std::string(verb) + " " + temporary);
        }
    };
    errno = 0;
    check(size == 0 || std::fwrite(data, 1, size, file) == size, FileWrite::Step::write,
          "cannot write");
    check(std::fflush(file) == 0, FileWrite::Step::write, "cannot write");
    check(::fsync(::fileno(file)) == 0, FileWrite::Step::sync, "cannot flush to the disk");
    check(std::fclose(file) == 0, FileWrite::Step::close, "cannot close");
    if (result && std::rename(temporary.c_str(), fileName.c_str()) != 0) {
        result = failure(FileWrite::Step::rename, errno,
                         "cannot rename " + temporary + " to " + fileName);
    }
    if (!result) {
        std::remove(temporary.c_str());
    }
    return result;
}
