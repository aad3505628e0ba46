#include "base/event_queue.h"

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
