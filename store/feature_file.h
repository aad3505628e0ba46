// Reading a feature file back: a flat list of numbers separated by white space.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// "feature" + n + ".txt": the feature file of gesture (or position) n.
std::string featureFileName(int n);

// Appends to values every number of the file, in file order, each converted
// straight to a 32-bit float as "%f" does, when the file holds whole samples
// of sampleSize numbers each (sampleSize at least 1), each number followed by
// white space, as feature extraction writes them. Otherwise returns false,
// with values as they were and problem saying why: the file cannot be opened
// or read, holds a token that is not a finite number, or was cut short (it
// ends inside a number or inside a sample).
bool readFeatureFile(const std::string& fileName, std::size_t sampleSize,
                     std::vector<float>& values, std::string& problem);
