#include "training/atomic_file.h"

#include <unistd.h>

#include <cstdio>

bool writeFileAtomically(const std::string& fileName, const void* data, std::size_t size) {
    const std::string temporary = fileName + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    written = std::fflush(file) == 0 && written;
    written = ::fsync(::fileno(file)) == 0 && written;
    written = std::fclose(file) == 0 && written;
    if (written && std::rename(temporary.c_str(), fileName.c_str()) == 0) {
        return true;
    }
    std::remove(temporary.c_str());
    return false;
}
