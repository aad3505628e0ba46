#include "training/model_shape.h"

#include <cstdio>

std::atomic<std::uint8_t> newModelFlag{0};

bool checkModelFile(ModelShape& shape) {
    std::FILE* file = std::fopen(kModelFileName, "rb");
    if (file == nullptr) {
        return false;
    }
    std::int64_t rows = 0;
    std::int64_t spaces = 0;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        for (std::size_t i = 0; i < got; ++i) {
            rows += buffer[i] == '\n';
            spaces += buffer[i] == ' ';
        }
    }
    std::fclose(file);
    if (rows == 0 || spaces % rows != 0 || rows > INT32_MAX || spaces / rows + 1 > INT32_MAX) {
        return false;
    }
    shape.rows = static_cast<std::int32_t>(rows);
    shape.valuesPerRow = static_cast<std::int32_t>(spaces / rows + 1);
    return true;
}
