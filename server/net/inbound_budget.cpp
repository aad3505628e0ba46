#include "server/net/inbound_budget.h"

InboundBudget::InboundBudget(std::shared_ptr<InboundBudgets> all, std::function<void()> onRoom)
    : pool(std::move(all)), resume(std::move(onRoom)) {}

EventRecord InboundBudget::makeRecord(const std::uint8_t* data, std::size_t length) {
    const std::size_t cost = length + kWaitingRecordOverhead;
    messages.fetch_add(1);
    bytes.fetch_add(cost);
    pool->allWaitingBytes.fetch_add(cost);
    auto* record = new std::vector<std::uint8_t>();
    record->reserve(length + 1);
    record->push_back(APP_CLIENT_EVT);
    record->insert(record->end(), data, data + length);
    return EventRecord(record,
                       [budget = shared_from_this(), cost](std::vector<std::uint8_t>* freed) {
                           delete freed;
                           budget->release(cost);
                       });
}

bool InboundBudget::mayRead() const {
    return messages.load() < kMaxWaitingPerConnection &&
           bytes.load() < kMaxWaitingBytesPerConnection &&
           pool->allWaitingBytes.load() < kMaxWaitingBytes;
}

bool InboundBudget::pause() {
    MutexLock guard(pool->pausedLock);
    // Counted before the test: a release that frees room after the test sees
    // the count and resumes this budget; one that freed it before, the test sees.
    pool->pausedCount.fetch_add(1);
    if (mayRead()) {
        pool->pausedCount.fetch_sub(1);
        return false;
    }
    pool->pausedBudgets.push_back(weak_from_this());
    return true;
}

void InboundBudget::detach() {
    MutexLock guard(resumeLock);
    resume = nullptr;
}

void InboundBudget::release(std::size_t cost) {
    messages.fetch_sub(1);
    bytes.fetch_sub(cost);
    InboundBudgets& all = *pool;
    all.allWaitingBytes.fetch_sub(cost);
    if (all.pausedCount.load() == 0) {
        return;
    }
    MutexLock guard(all.pausedLock);
    std::erase_if(all.pausedBudgets, [&all](const std::weak_ptr<InboundBudget>& weak) {
        const std::shared_ptr<InboundBudget> budget = weak.lock();
        if (budget && !budget->mayRead()) {
            return false;
        }
        all.pausedCount.fetch_sub(1);
        if (budget) {
            MutexLock inner(budget->resumeLock);
            if (budget->resume) {
                budget->resume();
            }
        }
        return true;
    });
}
