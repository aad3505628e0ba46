// The queue of events for the main thread: records (logged with their hex
// dump and handled by type) and tasks (run as they are, not logged), each with
// the client it comes from or answers.
//
// Any thread pushes; the main thread pops. See base/blocking_queue.h for the
// order of events and the locking.
#pragma once

#include <functional>

#include "base/blocking_queue.h"
#include "base/event_record.h"

struct Event {
    EventRecord record;          // empty for a task
    Origin origin;               // the client a message came from, or an answer is for
    std::function<void()> task;  // run on the main thread in place of a record
};

class EventQueue : public BlockingQueue<Event> {
  public:
    using BlockingQueue<Event>::push;
    using BlockingQueue<Event>::pushUrgent;
    void push(EventRecord record, Origin origin = {}) {
        push(Event{std::move(record), origin, nullptr});
    }
    void pushUrgent(EventRecord record) { pushUrgent(Event{std::move(record), {}, nullptr}); }
    // Runs `task` on the main thread after the events queued before it.
    void post(std::function<void()> task) { push(Event{nullptr, {}, std::move(task)}); }
};
