#pragma once

// Asks the main loop to end: logs "exitApplication" and queues an EXIT_EVT.
// Callable from any thread; returns at once.
void exitApplication();
