// What a number becomes on its way through the text files: "%f" written, then
// read back. Training and identification round their numbers this way so that
// a model used straight from memory behaves as the one read from "W&B.txt".
#pragma once

// The value as a text file holds it, "%f", and its reader reads it back: what
// training makes of a sample that went through a feature file, and what
// identification makes of a number of "W&B.txt".
float asWrittenAsText(float value);
