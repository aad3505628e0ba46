// A blocking first-in-first-out queue of shared byte vectors.
//
// push may be called from any thread and never waits; pop waits, without a
// time-out, until a record is there. Records come out in the order their pushes
// took the lock, except urgent ones, which go to the front. The lock is held only while the deque
// is read or changed.
#pragma once

#include <deque>

#include "core/event_record.h"
#include "core/mutex.h"

class EventQueue {
  public:
    EventQueue() = default;
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    void push(EventRecord record);
    // Puts the record in front of every queued one: the next pop returns it.
    void pushUrgent(EventRecord record);
    EventRecord pop();
    // Takes the front record if there is one; an empty pointer otherwise.
    EventRecord tryPop();
    std::size_t size() const;

  private:
    mutable Mutex lock;
    CondVar nonEmpty;
    std::deque<EventRecord> records GUARDED_BY(lock);
};

// Every event for the main thread. Owner: the process (never destroyed); any
// thread pushes, the main thread pops.
extern EventQueue& eventQueue;
// Raw data windows for the identification thread (no type byte). Owner: the
// process; the SDK callback thread pushes, the identification thread pops.
extern EventQueue& identifyQueue;
