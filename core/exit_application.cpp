#include "core/exit_application.h"

#include "core/event_queue.h"
#include "core/log.h"

void exitApplication(EventQueue& queue) {
    logLine("exitApplication");
    // Ahead of whatever is queued: the server ends after the event being handled.
    queue.pushUrgent(makeEventRecord(EXIT_EVT));
}
