#include "store/recogniser_file.h"

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "base/atomic_file.h"
#include "base/whole_file.h"

namespace {

// 9 classes of 1 + 32 numbers: far less than this.
constexpr std::size_t kLargestRecogniserFile = 64 * 1024;
constexpr int kFormat = 1;

// The next white-space separated word of the text.
class Words {
  public:
    explicit Words(const std::string& text) : in(text) {}
    bool word(const char* expected) {
        std::string got;
        return static_cast<bool>(in >> got) && got == expected;
    }
    bool number(unsigned long long& value, int base) {
        std::string got;
        if (!(in >> got)) {
            return false;
        }
        char* end = nullptr;
        value = std::strtoull(got.c_str(), &end, base);
        return !got.empty() && got[0] != '-' && *end == '\0';
    }
    bool real(float& value) {
        std::string got;
        if (!(in >> got)) {
            return false;
        }
        char* end = nullptr;
        value = std::strtof(got.c_str(), &end);
        return !got.empty() && *end == '\0' && std::isfinite(value);
    }
    bool finished() {
        std::string more;
        return !(in >> more);
    }

  private:
    std::istringstream in;
};

}  // namespace

std::uint64_t modelChecksum(const std::string& bytes) {
    std::uint64_t hash = 1469598103934665603ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

std::string recogniserText(const RecogniserFile& file) {
    const RecogniserModel& model = file.model;
    const LdaModel& lda = model.lda;
    std::string text;
    char line[128];
    std::snprintf(line, sizeof line,
                  "recogniser %d\nchannels %zu\ngestures 0x%02x\nmodel %016" PRIx64
                  "\nrest %.9g\nfeatures %zu\n",
                  kFormat, model.channels, static_cast<unsigned>(file.gestureMask),
                  file.modelChecksum, static_cast<double>(model.restLevel), lda.dimension);
    text += line;
    for (std::size_t k = 0; k < lda.classes; ++k) {
        std::snprintf(line, sizeof line, "class %zu %.9g", k, static_cast<double>(lda.offsets[k]));
        text += line;
        for (std::size_t d = 0; d < lda.dimension; ++d) {
            std::snprintf(line, sizeof line, " %.9g",
                          static_cast<double>(lda.weights[k * lda.dimension + d]));
            text += line;
        }
        text += '\n';
    }
    return text;
}

bool parseRecogniser(const std::string& text, RecogniserFile& file, std::string& problem) {
    Words words(text);
    unsigned long long format = 0;
    unsigned long long channels = 0;
    unsigned long long mask = 0;
    unsigned long long checksum = 0;
    unsigned long long dimension = 0;
    float restLevel = 0.0f;
    if (!words.word("recogniser") || !words.number(format, 10) || format != kFormat) {
        problem = "not a recogniser file of this version";
        return false;
    }
    if (!words.word("channels") || !words.number(channels, 10) || !words.word("gestures") ||
        !words.number(mask, 16) || !words.word("model") || !words.number(checksum, 16) ||
        !words.word("rest") || !words.real(restLevel) || !words.word("features") ||
        !words.number(dimension, 10)) {
        problem = "its header is malformed";
        return false;
    }
    const int gestures = std::popcount(static_cast<unsigned>(mask));
    if (channels < 1 || channels > kMaxTdChannels || mask > 0xFF || gestures < 2 ||
        dimension != recogniserDimension(channels)) {
        problem = "its channels, gestures or features do not fit together";
        return false;
    }
    RecogniserFile read;
    read.gestureMask = static_cast<std::uint8_t>(mask);
    read.modelChecksum = checksum;
    read.model.channels = static_cast<std::size_t>(channels);
    read.model.gestures = static_cast<std::size_t>(gestures);
    read.model.restLevel = restLevel;
    LdaModel& lda = read.model.lda;
    lda.classes = read.model.gestures + 1;
    lda.dimension = static_cast<std::size_t>(dimension);
    lda.offsets.resize(lda.classes);
    lda.weights.resize(lda.classes * lda.dimension);
    for (std::size_t k = 0; k < lda.classes; ++k) {
        unsigned long long index = 0;
        if (!words.word("class") || !words.number(index, 10) || index != k ||
            !words.real(lda.offsets[k])) {
            problem = "class " + std::to_string(k) + " is missing or malformed";
            return false;
        }
        for (std::size_t d = 0; d < lda.dimension; ++d) {
            if (!words.real(lda.weights[k * lda.dimension + d])) {
                problem = "class " + std::to_string(k) + " has too few finite weights";
                return false;
            }
        }
    }
    if (!words.finished()) {
        problem = "it holds more than its classes";
        return false;
    }
    file = std::move(read);
    return true;
}

FileWrite writeRecogniserFile(const RecogniserFile& file) {
    const std::string text = recogniserText(file);
    return writeFileAtomically(kRecogniserFileName, text.data(), text.size());
}

RecogniserRead readRecogniserFile(const std::string& modelText, std::uint8_t channels,
                                  std::uint8_t gestureMask, RecogniserFile& file,
                                  std::string& problem) {
    std::string text;
    const FileRead read = readWholeFile(kRecogniserFileName, kLargestRecogniserFile, text);
    if (read == FileRead::Missing) {
        problem = std::string(kRecogniserFileName) + " is missing";
        return RecogniserRead::missing;
    }
    RecogniserFile parsed;
    if (read != FileRead::Read || !parseRecogniser(text, parsed, problem)) {
        if (read != FileRead::Read) {
            problem = read == FileRead::TooLarge ? "it is too large" : "it cannot be read";
        }
        problem = std::string(kRecogniserFileName) + " refused: " + problem;
        return RecogniserRead::refused;
    }
    if (parsed.modelChecksum != modelChecksum(modelText)) {
        problem = std::string(kRecogniserFileName) + " belongs to another training than W&B.txt";
        return RecogniserRead::refused;
    }
    if (parsed.model.channels != channels || parsed.gestureMask != gestureMask) {
        problem = std::string(kRecogniserFileName) + " was trained on other channels or gestures";
        return RecogniserRead::refused;
    }
    file = std::move(parsed);
    return RecogniserRead::read;
}
