#pragma once

#include <string>
#include <vector>

// Values as a feature file holds them: each "%f ".
std::string featureText(const std::vector<float>& values);
