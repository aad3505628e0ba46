// The shape of the model file "W&B.txt": one line per gesture pair, each line
// the weights of every channel and then the bias.
#pragma once

#include <cstdint>
#include <string>

struct ModelShape {
    std::int32_t rows = 0;          // lines
    std::int32_t valuesPerRow = 0;  // numbers per line
};

inline constexpr const char* kModelFileName = "W&B.txt";

// A model tells apart at most this many gestures.
inline constexpr int kMostGestures = 8;

// Reads "W&B.txt" in the working directory (readModelFile, model_file.h).
// True, with shape filled, when it is a well-formed model: rows lines of
// valuesPerRow finite numbers each. On false shape is untouched and problem
// says why, for the log line of the command that refuses the model.
bool checkModelFile(ModelShape& shape, std::string& problem);
