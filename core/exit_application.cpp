#include "core/exit_application.h"

#include "core/event_queue.h"
#include "core/log.h"

void exitApplication() {
    logLine("exitApplication");
    eventQueue.push(makeEventRecord(EXIT_EVT));
}
