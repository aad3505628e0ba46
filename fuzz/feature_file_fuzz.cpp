// A feature file as anyone could leave it: reading it back keeps only finite
// numbers, in file order, and stops at the first token that is not one.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "training/feature_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzWorkingDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen("feature1.txt", "wb");
    fuzzCheck(file != nullptr, "feature1.txt can be written");
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    std::vector<float> values;
    fuzzCheck(readFeatureFile("feature1.txt", values), "a readable file is read");
    // Every number takes at least one byte and one separator but the last.
    fuzzCheck(values.size() <= size / 2 + 1, "no more numbers than the text can hold");
    for (const float value : values) {
        fuzzCheck(std::isfinite(value), "finite numbers only");
    }
    return 0;
}
