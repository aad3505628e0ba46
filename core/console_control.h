// Ctrl+C and system shutdown end the server cleanly.
//
// SIGINT (Ctrl+C) and SIGTERM (shutdown) are taken by a thread of their own,
// which calls consoleCtrlHandler; a signal handler itself may neither log nor
// lock. Other signals keep their default behaviour.
#pragma once

// Console events, as the handler receives them.
inline constexpr int kCtrlCEvent = 0;
inline constexpr int kShutdownEvent = 6;

// Blocks SIGINT and SIGTERM in the calling thread, and so in every thread it
// starts afterwards. Call first thing in main.
void blockConsoleSignals();

// Starts the thread that waits for the signals. False when it cannot.
bool installConsoleControl();
// Stops and joins that thread.
void removeConsoleControl();

// True when the event was handled (Ctrl+C and shutdown call exitApplication).
bool consoleCtrlHandler(int controlType);
