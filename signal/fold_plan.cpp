#include "signal/fold_plan.h"

bool FoldSplit::trains(std::size_t rank) const {
    if (empty()) {
        return true;
    }
    return rank + 1 < firstRank || rank > endRank;
}

GestureFolds planFolds(const std::vector<std::size_t>& activeWindows, std::size_t windows) {
    GestureFolds folds{};
    const std::size_t n = activeWindows.size();
    for (std::size_t f = 0; f < kFolds; ++f) {
        folds[f].firstRank = f * n / kFolds;
        folds[f].endRank = (f + 1) * n / kFolds;
    }
    // A fold's stretch runs from just after the last active window of the
    // block before to just before the first of the block after.
    for (std::size_t f = 0; f < kFolds; ++f) {
        FoldSplit& split = folds[f];
        if (split.empty()) {
            continue;
        }
        split.firstWindow = split.firstRank == 0 ? 0 : activeWindows[split.firstRank - 1] + 1;
        split.endWindow = split.endRank == n ? windows : activeWindows[split.endRank];
    }
    return folds;
}
