// The server's one log: a line of local time, level letter and tag in front
// of a printf-style message, written to standard output.
//
// Any thread may call it; a line is built in a buffer local to the call and
// written while the stream is locked, so lines from different threads never mix.
#pragma once

#include <cstdarg>

inline constexpr const char* kLogTag = "Quillon";

// level 0..5 selects V D I W E F; level 0 writes nothing. Always returns 0.
int logPrint(int level, const char* tag, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int vlogPrint(int level, const char* tag, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));

// Every message of the server: level 1, tag "Quillon".
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
