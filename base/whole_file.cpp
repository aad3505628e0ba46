#include "base/whole_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace {

template <typename Bytes>
FileRead readInto(const std::string& name, std::size_t maxBytes, Bytes& bytes) {
    bytes.clear();
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
    }
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0) {
        const int error = errno;
        std::fclose(file);
        errno = error;
        return FileRead::Failed;
    }
    if (static_cast<std::uint64_t>(status.st_size) > maxBytes) {
        std::fclose(file);
        return FileRead::TooLarge;
    }
    bytes.resize(static_cast<std::size_t>(status.st_size));
    const std::size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    errno = error;
    bytes.resize(got);  // a file cut short meanwhile
    return failed ? FileRead::Failed : FileRead::Read;
}

}  // namespace

FileRead readWholeFile(const std::string& name, std::size_t maxBytes, std::string& bytes) {
    return readInto(name, maxBytes, bytes);
}

FileRead readWholeFile(const std::string& name, std::size_t maxBytes,
                       std::vector<std::uint8_t>& bytes) {
    return readInto(name, maxBytes, bytes);
}

std::int64_t fileSize(const std::string& name) {
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(status.st_size);
}

FileStamp fileStamp(const std::string& name) {
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) {
        return {};
    }
    return {true, static_cast<std::int64_t>(status.st_size),
            static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
            static_cast<std::uint64_t>(status.st_ino)};
}
