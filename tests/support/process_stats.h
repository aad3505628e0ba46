// What a running process uses, read from /proc.
#pragma once

#include <sys/types.h>

#include <cstdint>

// The peak resident set (VmHWM) in KiB; 0 when it cannot be read.
std::int64_t peakResidentKiB(pid_t pid);
// User and system CPU time used so far, in milliseconds; -1 when it cannot be read.
std::int64_t cpuTimeMs(pid_t pid);
