// The armband's model image: "W&B.txt" packed into bytes, kept as "model.bin"
// and uploaded by the MODEL_UPDATE command.
//
// Layout, little-endian: byte 0 the channel mask, byte 1 the gesture count,
// bytes 2-3 the length L of the weight block (a multiple of 16), bytes 4-47
// zero, then every number of "W&B.txt" as a single-precision float, line after
// line, zero-padded to L bytes. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr std::size_t MODEL_HEADER_SIZE = 48;
inline constexpr std::size_t MODEL_IMAGE_CAPACITY = 1200;
inline constexpr const char* kModelImageFileName = "model.bin";

// Builds the image of "W&B.txt" for the configured channels and gestures.
// Returns 0x00 with image holding the 48 + L bytes, or 0xFF, with image empty,
// when "W&B.txt" is missing or refused by readModelFile, or has another shape
// than gestureCount x (gestureCount - 1) / 2 lines of channelCount + 1 values.
std::uint8_t buildModelImage(std::uint8_t channelMask, std::uint8_t gestureCount,
                             std::uint8_t channelCount, std::vector<std::uint8_t>& image);

// Replaces "model.bin" with the image, whole or not at all: 0x00, or 0xEE
// when it cannot be written (an earlier "model.bin" is then untouched).
std::uint8_t saveModelImage(const std::vector<std::uint8_t>& image);

// buildModelImage, then saveModelImage; on anything but 0x00 image is empty
// and an earlier "model.bin" is untouched.
std::uint8_t prepareModelImage(std::uint8_t channelMask, std::uint8_t gestureCount,
                               std::uint8_t channelCount, std::vector<std::uint8_t>& image);
