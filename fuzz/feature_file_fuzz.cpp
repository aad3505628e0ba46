// A feature file as anyone could leave it: reading it back gives whole samples
// of finite numbers, in file order, or refuses the file and says why.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "store/feature_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzWorkingDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen("feature1.txt", "wb");
    fuzzCheck(file != nullptr, "feature1.txt can be written");
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    // The sample size comes from the first byte, so that every size is tried.
    const std::size_t sampleSize = size == 0 ? 1 : 1 + data[0] % 8;
    std::vector<float> values;
    std::string problem;
    if (!readFeatureFile("feature1.txt", sampleSize, values, problem)) {
        fuzzCheck(!problem.empty(), "a refused file says why");
        fuzzCheck(values.empty(), "a refused file gives no number");
        return 0;
    }
    // Every number takes at least one byte and one separator.
    fuzzCheck(values.size() <= size / 2, "no more numbers than the text can hold");
    fuzzCheck(values.size() % sampleSize == 0, "whole samples only");
    for (const float value : values) {
        fuzzCheck(std::isfinite(value), "finite numbers only");
    }
    return 0;
}
