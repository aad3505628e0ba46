// Training many independent pairs at once on worker threads.
#pragma once

#include <stop_token>
#include <vector>

#include "signal/pair_training.h"

// Trains problems[p] into models[p] (resized to match) for every p, on up to
// threads threads including the caller (0: as many as the machine has, at most
// 8). Each pair is trained exactly as trainPair trains it alone; the workers
// share only the read-only problems and a counter handing out pair indices,
// and each model slot is written by the one worker that trained it. All
// workers have finished when this returns. ok[p] is trainPair's result; once
// `stop` is asked, the pairs under way give up and the rest are not trained.
void trainPairsInParallel(const std::vector<PairProblem>& problems, std::vector<PairModel>& models,
                          std::vector<bool>& ok, unsigned threads = 0, std::stop_token stop = {});
