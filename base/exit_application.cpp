#include "base/exit_application.h"

#include "base/event_queue.h"
#include "base/log.h"

void exitApplication(EventQueue& queue) {
    logLine("exitApplication");
    // Ahead of whatever is queued: the server ends after the event being handled.
    queue.pushUrgent(makeEventRecord(EXIT_EVT));
}
