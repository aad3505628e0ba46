// The models of the cross-validation, one per fold, trained on what the fold
// does not hold out and nothing is read or written on disk:
// - the pair table, trained exactly as GENERATE_MODEL trains "W&B.txt" (the
//   same samples as the feature files give them back, the same solver), on
//   the active windows outside the fold's held-out blocks, and kept as the
//   identification thread would load it;
// - for a calibrated evaluation, the recogniser, trained as GENERATE_MODEL
//   trains it, on the recordings outside the fold's held-out stretches.
#pragma once

#include <array>
#include <vector>

#include <stop_token>
#include "signal/fold_plan.h"

#include "signal/identify_mode.h"
#include "signal/live_identifier.h"
#include "signal/recording_analysis.h"

// recordings[k] is the analysis of the gesture of position k + 1 and plans[k]
// its folds; every analysis has `channels` channels (1 to 8) and there are 2 to
// 8 of them. False when some fold's model could not be trained (a gesture
// with no training sample in that fold) or `stop` was asked.
bool trainFoldModels(const std::vector<RecordingAnalysis>& recordings,
                     const std::vector<GestureFolds>& plans, int channels, IdentifyMode mode,
                     std::array<IdentifyModel, kFolds>& models, std::stop_token stop = {});
