// The version text of GET_VERSION: "server/firmware/hardware", each a
// ddd.ddd.ddd group triple, "---.---.---" when unknown.
#pragma once

#include <string>

#include "protocol/wire.h"

// Wide to narrow in the current C locale; empty on a conversion failure.
std::string toNarrow(const std::wstring& wide);
// A letter and one to three digits: "H7" gives 007.000.000. Anything else,
// a group holding a character that is not a digit included, is unknown.
std::string formatHardwareVersion(const std::string& version);
// A letter, digits "." digits "-" digits: "V1.2-3" gives 001.002.003. A string
// without that form, or with a group longer than three characters, is unknown.
std::string formatFirmwareVersion(const std::string& version);
