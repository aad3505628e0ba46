// Loading "W&B.txt" into the classifier: the identification thread's model load.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "signal/identifier.h"
#include "signal/pair_training.h"

// The gesture count of a model of this many lines: the integer part of
// sqrt(2 x rows + 0.5) + 0.5, in double precision. rows = G(G-1)/2 gives G back.
int gestureCountForRows(std::int32_t rows);

enum class ModelLoadResult {
    loaded,   // identifier reset for the model, pair table filled
    missing,  // "W&B.txt" cannot be read
    refused,  // refused by readModelFile, or not fitting the windows
};

// Reads "W&B.txt" from the working directory once with readModelFile (the
// reader the command's check and the model image use too) and takes the shape
// from the very bytes it loads, so a file replaced in the meantime cannot mix
// two shapes. A file that reader refuses (malformed, not finite, too large) is
// refused; the model must also fit windows of windowChannels channels
// (identifyModelFits). Only on loaded are identifier and pairTable changed;
// every outcome is logged.
// text, when given, receives the file's bytes as read.
ModelLoadResult loadModel(std::uint32_t windowChannels, Identifier& identifier,
                          PairTable& pairTable, std::string* text = nullptr);

// The same from the text of a model already read.
ModelLoadResult loadModelText(const std::string& text, std::uint32_t windowChannels,
                              Identifier& identifier, PairTable& pairTable);

// The pair table that loading the "W&B.txt" of these models (in pair order,
// D weights each) gives: every number as the file holds it.
PairTable pairTableFromModels(const std::vector<PairModel>& models, int D);
