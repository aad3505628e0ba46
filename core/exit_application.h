#pragma once

// Asks the main loop to end: logs "exitApplication" and queues an EXIT_EVT in
// front of every queued record, so the loop ends after the event it handles.
// Callable from any thread; returns at once.
void exitApplication();
