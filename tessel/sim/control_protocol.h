// The wearer control's text protocol, shared by Controller::command and the
// control endpoint: one command per line, one answer beginning "ok" or
// "error: " (commands listed in tessel/simulator.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tessel/simulator.h"

namespace tessel::sim {

class Armband;

std::string runControlCommand(Armband& armband, std::string_view line);

// The operation named (in any letter case) by its text-protocol name.
std::optional<Operation> operationNamed(std::string_view name);

// One line of JSON, as `status` answers after "ok ".
std::string statusJson(const Status& status);

}  // namespace tessel::sim
