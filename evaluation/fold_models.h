// The models of the cross-validation: one pair table per fold, each trained
// exactly as GENERATE_MODEL trains "W&B.txt" (pair problems of the gestures'
// samples in position order, the same solver and parameters), on the samples
// that the fold does not hold out, and kept as the live system would load it
// from the file's text. Nothing is read or written on disk.
#pragma once

#include <array>
#include <vector>

#include "evaluation/fold_plan.h"
#include "evaluation/recording_analysis.h"
#include "identify/identifier.h"

// recordings[k] is the analysis of the gesture of position k + 1 and plans[k]
// its folds; every analysis has `channels` channels (1 to 8) and there are 2 to
// 8 of them. False when a pair of some fold could not be trained (a gesture
// with no training sample in that fold).
bool trainFoldModels(const std::vector<RecordingAnalysis>& recordings,
                     const std::vector<GestureFolds>& plans, int channels,
                     std::array<PairTable, kFolds>& tables);

// The value as "W&B.txt" holds it ("%f") and the model load reads it back.
float asWrittenInModelFile(float value);
