// Loading "W&B.txt" into the classifier: the identification thread's model load.
#pragma once

#include <cstdint>
#include <string>

#include "identify/identifier.h"

// The gesture count of a model of this many lines: the integer part of
// sqrt(2 x rows + 0.5) + 0.5, in double precision. rows = G(G-1)/2 gives G back.
int gestureCountForRows(std::int32_t rows);

enum class ModelLoadResult {
    loaded,   // identifier reset for the model, pair table filled
    missing,  // "W&B.txt" cannot be read
    refused,  // malformed, too big for the pair table, or not fitting the windows
};

// Reads "W&B.txt" from the working directory once and takes its shape from the
// very bytes it loads (line feeds are rows, numbers per row one more than the
// spaces per row), so a file replaced in the meantime cannot mix two shapes.
// The model must fit windows of windowChannels channels (identifyModelFits).
// Numbers are read in file order as floats, white space between them; a number
// that cannot be read, and every one after it, is 0.
// Only on loaded are identifier and pairTable changed; every outcome is logged.
ModelLoadResult loadModel(std::uint32_t windowChannels, Identifier& identifier,
                          PairTable& pairTable);

// The same from the text of a model already read.
ModelLoadResult loadModelText(const std::string& text, std::uint32_t windowChannels,
                              Identifier& identifier, PairTable& pairTable);
