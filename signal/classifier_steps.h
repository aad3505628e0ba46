// Steps of classifyWindow that tests reach on their own. Not for other callers.
#pragma once

// Whether a window of variance curVariance, after one of prevVariance, shows the
// start of a movement: the variance jumped more than fourfold to above 100, or
// both stayed above 200. 0 after 0 is no start (the ratio is not a number).
bool movementStarts(float prevVariance, float curVariance);
