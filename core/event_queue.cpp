#include "core/event_queue.h"

// Both queues live until the process is gone, so a thread that still pushes
// or waits while the process exits never meets a destroyed queue.
EventQueue& eventQueue = *new EventQueue;
EventQueue& identifyQueue = *new EventQueue;

EventRecord makeEventRecord(std::uint8_t type, std::initializer_list<std::uint8_t> payload) {
    return makeEventRecord(type, payload.begin(), payload.size());
}

EventRecord makeEventRecord(std::uint8_t type, const std::uint8_t* payload, std::size_t length) {
    auto record = std::make_shared<std::vector<std::uint8_t>>();
    record->reserve(length + 1);
    record->push_back(type);
    record->insert(record->end(), payload, payload + length);
    return record;
}

void EventQueue::push(EventRecord record) {
    {
        MutexLock guard(lock);
        records.push_back(std::move(record));
    }
    nonEmpty.notifyAll();
}

void EventQueue::pushUrgent(EventRecord record) {
    {
        MutexLock guard(lock);
        records.push_front(std::move(record));
    }
    nonEmpty.notifyAll();
}

EventRecord EventQueue::pop() {
    MutexLock guard(lock);
    while (records.empty()) {
        nonEmpty.wait(lock);
    }
    EventRecord front = std::move(records.front());
    records.pop_front();
    return front;
}

EventRecord EventQueue::tryPop() {
    MutexLock guard(lock);
    if (records.empty()) {
        return nullptr;
    }
    EventRecord front = std::move(records.front());
    records.pop_front();
    return front;
}

std::size_t EventQueue::size() const {
    MutexLock guard(lock);
    return records.size();
}
