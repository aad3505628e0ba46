#include "store/feature_file.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/whole_file.h"

namespace {

// Feature files come from raw files of at most 16 MiB: far less than this.
constexpr std::size_t kMaxFeatureFileBytes = 256u * 1024 * 1024;

}  // namespace

bool readFeatureFile(const std::string& fileName, std::size_t sampleSize,
                     std::vector<float>& values, std::string& problem) {
    std::string text;
    const FileRead read = readWholeFile(fileName, kMaxFeatureFileBytes, text);
    if (read != FileRead::Read) {
        problem = read == FileRead::TooLarge
                      ? "it is larger than " + std::to_string(kMaxFeatureFileBytes) + " bytes"
                      : std::string("it cannot be read: ") + std::strerror(errno);
        return false;
    }
    // text is terminated by its zero byte, so strtof never reads past it; a
    // zero byte inside the file is a token that is not a number.
    std::vector<float> numbers;
    const char* next = text.c_str();
    const char* const end = next + text.size();
    for (;;) {
        while (std::isspace(static_cast<unsigned char>(*next))) {
            ++next;
        }
        if (next == end) {
            break;
        }
        char* after = nullptr;
        const float value = std::strtof(next, &after);
        const auto at = static_cast<std::size_t>(next - text.c_str());
        if (after == next || !std::isfinite(value)) {
            problem = "a token that is not a number at byte " + std::to_string(at);
            return false;
        }
        if (after == end) {
            problem = "it ends inside the number at byte " + std::to_string(at) + ": cut short";
            return false;
        }
        numbers.push_back(value);
        next = after;
    }
    if (sampleSize == 0 || numbers.size() % sampleSize != 0) {
        problem = "it holds " + std::to_string(numbers.size()) + " numbers, not whole samples of " +
                  std::to_string(sampleSize) + ": cut short";
        return false;
    }
    values.insert(values.end(), numbers.begin(), numbers.end());
    return true;
}

std::string featureFileName(int n) {
    return "feature" + std::to_string(n) + ".txt";
}
