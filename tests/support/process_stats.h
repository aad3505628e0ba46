// What a running process uses, read from /proc.
#pragma once

#include <sys/types.h>

#include <cstdint>

// The peak resident set (VmHWM) in KiB; 0 when it cannot be read.
std::int64_t peakResidentKiB(pid_t pid);
// The resident set now (VmRSS) in KiB; 0 when it cannot be read.
std::int64_t residentKiB(pid_t pid);
// Open file descriptors and threads now; -1 when they cannot be read.
int openDescriptors(pid_t pid);
int threadCount(pid_t pid);
// User and system CPU time used so far, in milliseconds; -1 when it cannot be read.
std::int64_t cpuTimeMs(pid_t pid);
