#include "store/model_gestures.h"

#include <cstdio>
#include <cstdlib>

#include "base/atomic_file.h"

FileWrite saveModelGestures(std::uint8_t gestureMask) {
    char text[8];
    const int length = std::snprintf(text, sizeof text, "0x%02x\n", gestureMask);
    return writeFileAtomically(kModelGesturesFileName, text, static_cast<std::size_t>(length));
}

std::optional<std::uint8_t> loadModelGestures() {
    std::FILE* file = std::fopen(kModelGesturesFileName, "rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    char text[16] = {};
    const std::size_t got = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[got] = '\0';
    char* end = nullptr;
    const unsigned long mask = std::strtoul(text, &end, 16);
    if (end == text || mask > 0xFF || (*end != '\n' && *end != '\0')) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(mask);
}
