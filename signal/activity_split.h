// Where a recording of one gesture holds rest and where it holds the gesture,
// told from the recording alone: a recording window holds holds and relaxes,
// so its analysis windows fall into a quiet group and a loud one. The split
// between them is the level that sets the two groups furthest apart (Otsu's
// rule, on the logarithm of the level, so it sits between rest and gesture
// whatever the wearer's scale). Windows close to the other group are the
// wearer's onsets and releases and are left out of both.
//
// Plain functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class WindowRole : std::uint8_t { rest, gesture, transition };

// The role of each window. levels: the log level of each window, in recording
// order, windows starting `hopFrames` apart. Windows within restMarginFrames
// of a loud window are not rest, and within gestureMarginFrames of a quiet one
// not gesture. A recording whose windows do not fall into two groups (all of
// rest, or all of one hold) has only transitions.
std::vector<WindowRole> splitActivity(const std::vector<float>& levels, std::size_t hopFrames,
                                      std::size_t restMarginFrames,
                                      std::size_t gestureMarginFrames);
