// The armband's version strings, whatever it sends, become the 11 characters
// "ddd.ddd.ddd" or "---.---.---"; a wide string narrows without overrunning.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "protocol/version_text.h"

namespace {

bool isVersionText(const std::string& text) {
    if (text == kUnknownVersion) {
        return true;
    }
    if (text.size() != 11) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dot = i == 3 || i == 7;
        if (dot ? text[i] != '.' : (text[i] < '0' || text[i] > '9')) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string version(reinterpret_cast<const char*>(data), size);
    fuzzCheck(isVersionText(formatHardwareVersion(version)), "hardware version text");
    fuzzCheck(isVersionText(formatFirmwareVersion(version)), "firmware version text");

    std::wstring wide;
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        wide.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8 | data[i + 2] << 16 |
                                            (data[i + 3] & 0x7F) << 24));
    }
    const std::string narrow = toNarrow(wide);
    fuzzCheck(narrow.size() <= 4 * wide.size(), "narrowed length");
    fuzzCheck(isVersionText(formatFirmwareVersion(narrow)), "narrowed firmware version text");
    return 0;
}
