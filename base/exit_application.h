#pragma once

class EventQueue;

// Asks the main loop to end: logs "exitApplication" and queues an EXIT_EVT in
// front of every queued event, so the loop ends after the event it handles.
// Callable from any thread; returns at once.
void exitApplication(EventQueue& queue);
