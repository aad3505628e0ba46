// Training every gesture pair from the feature files into "W&B.txt", the model
// that identification classifies with and that the armband is given.
//
// Main thread. The pairs are trained on worker threads that end before the
// function returns.
#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "signal/pair_training.h"

// Reads "feature1.txt" to "feature" + G + ".txt" (position k holds the samples
// of the k-th selected gesture), trains the pairs (1,2), (1,3), ..., (G-1,G)
// with maxIterations 15000 and tolerance 0.001, and replaces "W&B.txt" with one
// line per pair: the D weights as "%f " each, then the bias as "%f\n". The new
// file appears whole or not at all. Returns 0 on success; 1, with "W&B.txt" as
// it was, when G is not 2..8 or D not 1..8, a feature file cannot be read, a
// gesture has no whole sample, or the file cannot be written. beforeReplace,
// if given, runs once the new model is trained, right before it replaces the
// old one (so that files describing the old model can go first); modelText,
// if given, receives the text written. Once `stop` is asked the training
// gives up (1) and "W&B.txt" is as it was.
int generateModel(int gestureCount, int channelCount,
                  const std::function<void()>& beforeReplace = {}, std::string* modelText = nullptr,
                  std::stop_token stop = {});

// The problem of pair (i, j): the numbers of gesture i followed by those of
// gesture j as one flat list cut into rows of D; the first
// featuresI.size() / D rows are labelled +1, the rest -1.
PairProblem buildPairProblem(const std::vector<float>& featuresI,
                             const std::vector<float>& featuresJ, int D);

// Appends one line of "W&B.txt" for model.
void appendModelLine(const PairModel& model, int D, std::string& text);

// Trains every pair (1,2), (1,3), ..., (G-1,G) of G = samples.size()
// positions, samples[k] holding the numbers of position k + 1 as its feature
// file gives them, exactly as "W&B.txt" is trained: on up to `threads` threads
// (0: as many as the machine has). models gets one per pair, in pair order.
// False when a pair cannot be trained (or `stop` was asked); *failedPair
// (when given) is then its index.
bool trainGesturePairs(const std::vector<std::vector<float>>& samples, int D,
                       std::vector<PairModel>& models, std::size_t* failedPair = nullptr,
                       unsigned threads = 0, std::stop_token stop = {});
