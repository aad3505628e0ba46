// The one reader of "W&B.txt". Identification, the model image and the
// model's shape all read the file here, so they accept and refuse the same
// files and see the same numbers.
//
// A model file holds 1 to 28 lines, one per gesture pair (at most 8 gestures),
// of 2 to 9 numbers each (one weight per channel, at most 8, then the bias),
// all lines alike. Every line ends in a line feed (a carriage return before it
// is ignored); the numbers are separated by one space and each is a finite
// decimal number. Anything else is refused whole, and a file larger than
// kMaxModelFileBytes is refused without being read. Any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "store/model_shape.h"

// The largest well-formed model, 28 lines of 9 numbers, is a few kilobytes.
inline constexpr std::size_t kMaxModelFileBytes = 64 * 1024;
inline constexpr int kMaxModelRows = 28;
inline constexpr int kMaxModelValuesPerRow = 9;

struct ModelFile {
    ModelShape shape;
    std::vector<float> values;  // rows x valuesPerRow, line after line
    std::string problem;        // why the file was refused, for the log
};

enum class ModelFileRead { Read, Missing, Refused };

// Reads "W&B.txt" in the working directory. Only on Read are shape and values
// filled; on Refused, problem says why. text, when given, receives the bytes read.
ModelFileRead readModelFile(ModelFile& model, std::string* text = nullptr);

// The same rules over text already read.
ModelFileRead parseModelText(const std::string& text, ModelFile& model);
