// Reading a feature file back: a flat list of numbers separated by white space.
#pragma once

#include <string>
#include <vector>

// "feature" + n + ".txt": the feature file of gesture (or position) n.
std::string featureFileName(int n);

// Appends to values every number of the file, in file order, each converted
// straight to a 32-bit float as "%f" does. A token that is not a finite
// number ends the reading, with a log line naming the file; the numbers before
// it are kept. False when the file cannot be opened or read.
bool readFeatureFile(const std::string& fileName, std::vector<float>& values);

// The value as a text file holds it, "%f", and its reader reads it back: what
// training makes of a sample that went through a feature file, and what
// identification makes of a number of "W&B.txt".
float asWrittenAsText(float value);
