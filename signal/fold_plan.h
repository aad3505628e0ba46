// How the evaluation splits each gesture's recording into folds for
// cross-validation. The active windows of a gesture, in recording order, are
// cut into kFolds contiguous blocks of nearly equal size, so that a held-out
// block is a stretch of the recording and not windows scattered between
// training windows. Each fold also owns the stretch of the recording around its
// block (up to the neighbouring blocks), which the live replay plays back, and
// the training window right beside each end of its block is left out of its
// model, so that no held-out window has a training window as its neighbour.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

inline constexpr std::size_t kFolds = 5;

struct FoldSplit {
    // Held-out active windows, as ranks into the gesture's active windows.
    std::size_t firstRank = 0;
    std::size_t endRank = 0;
    // The stretch of analysis windows the live replay plays back, [first, end).
    std::size_t firstWindow = 0;
    std::size_t endWindow = 0;

    bool empty() const { return endRank == firstRank; }
    // Whether the active window of this rank trains the fold's model.
    bool trains(std::size_t rank) const;
};

using GestureFolds = std::array<FoldSplit, kFolds>;

// activeWindows: the indices of the gesture's active windows, increasing;
// windows: the recording's whole analysis windows. With fewer active windows
// than folds some folds hold none (and train on all of them).
GestureFolds planFolds(const std::vector<std::size_t>& activeWindows, std::size_t windows);
