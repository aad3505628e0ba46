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
        std::lock_guard<std::mutex> guard(lock);
        records.push_back(std::move(record));
    }
    nonEmpty.notify_all();
}

void EventQueue::pushUrgent(EventRecord record) {
    {
        std::lock_guard<std::mutex> guard(lock);
        records.push_front(std::move(record));
    }
    nonEmpty.notify_all();
}

EventRecord EventQueue::pop() {
    std::unique_lock<std::mutex> guard(lock);
    nonEmpty.wait(guard, [this] { return !records.empty(); });
    EventRecord front = std::move(records.front());
    records.pop_front();
    return front;
}

EventRecord EventQueue::tryPop() {
    std::lock_guard<std::mutex> guard(lock);
    if (records.empty()) {
        return nullptr;
    }
    EventRecord front = std::move(records.front());
    records.pop_front();
    return front;
}

std::size_t EventQueue::size() const {
    std::lock_guard<std::mutex> guard(lock);
    return records.size();
}
