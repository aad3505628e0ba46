// Where the calibrated mode's recogniser is kept: "recogniser.txt" beside
// "W&B.txt", written by the same training from the same recordings and tied
// to it by a checksum of "W&B.txt", so that identification never pairs one
// training's recogniser with another's model.
//
// The file is text: a line "recogniser 1", then "channels D", "gestures 0xMM"
// (the gesture mask trained on), "model HHHHHHHHHHHHHHHH" (the checksum),
// "rest R" (the rest level of the recordings), "features F", and one line per
// class, rest first: "class K" followed by the offset and the F weights of its
// discriminant. Numbers are written with "%.9g", so the floats come back
// exactly.
#pragma once

#include <cstdint>
#include <string>

#include "base/atomic_file.h"
#include "signal/recogniser.h"

inline constexpr const char* kRecogniserFileName = "recogniser.txt";

struct RecogniserFile {
    RecogniserModel model;
    std::uint8_t gestureMask = 0;
    std::uint64_t modelChecksum = 0;  // of the "W&B.txt" it was trained with
};

// FNV-1a (64 bits) of the bytes: the checksum that ties the two files.
std::uint64_t modelChecksum(const std::string& bytes);

std::string recogniserText(const RecogniserFile& file);
// False, with file untouched and the reason in `problem`, when the text is
// not a whole, consistent recogniser of 1 to 8 channels and 2 to 8 gestures.
bool parseRecogniser(const std::string& text, RecogniserFile& file, std::string& problem);

// Replaces "recogniser.txt" whole; the result says why when it cannot be
// written. Main thread.
FileWrite writeRecogniserFile(const RecogniserFile& file);

enum class RecogniserRead { read, missing, refused };
// Reads "recogniser.txt" and checks that it belongs to the "W&B.txt" of
// `modelText`, to `channels` channels and to the gestures of gestureMask.
// On refused, problem says why. Any thread.
RecogniserRead readRecogniserFile(const std::string& modelText, std::uint8_t channels,
                                  std::uint8_t gestureMask, RecogniserFile& file,
                                  std::string& problem);
