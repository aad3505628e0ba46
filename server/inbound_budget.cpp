#include "server/inbound_budget.h"

#include <vector>

namespace {

// Owner of these three: the process. The server thread charges and pauses, any
// thread that frees a record releases and resumes.
std::atomic<std::size_t> allWaitingBytes{0};

// The connections that stopped reading, whichever limit stopped them: a
// connection stopped by the limit of all connections together resumes when
// any record is freed.
Mutex pausedLock;
std::vector<std::weak_ptr<InboundBudget>> pausedBudgets GUARDED_BY(pausedLock);
std::atomic<std::size_t> pausedCount{0};

}  // namespace

InboundBudget::InboundBudget(std::function<void()> onRoom) : resume(std::move(onRoom)) {}

EventRecord InboundBudget::makeRecord(const std::uint8_t* data, std::size_t length) {
    const std::size_t cost = length + kWaitingRecordOverhead;
    messages.fetch_add(1);
    bytes.fetch_add(cost);
    allWaitingBytes.fetch_add(cost);
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
           allWaitingBytes.load() < kMaxWaitingBytes;
}

bool InboundBudget::pause() {
    MutexLock guard(pausedLock);
    // Counted before the test: a release that frees room after the test sees
    // the count and resumes this budget; one that freed it before, the test sees.
    pausedCount.fetch_add(1);
    if (mayRead()) {
        pausedCount.fetch_sub(1);
        return false;
    }
    pausedBudgets.push_back(weak_from_this());
    return true;
}

void InboundBudget::detach() {
    MutexLock guard(resumeLock);
    resume = nullptr;
}

std::size_t InboundBudget::waitingBytes() {
    return allWaitingBytes.load();
}

void InboundBudget::release(std::size_t cost) {
    messages.fetch_sub(1);
    bytes.fetch_sub(cost);
    allWaitingBytes.fetch_sub(cost);
    if (pausedCount.load() == 0) {
        return;
    }
    MutexLock guard(pausedLock);
    std::erase_if(pausedBudgets, [](const std::weak_ptr<InboundBudget>& weak) {
        const std::shared_ptr<InboundBudget> budget = weak.lock();
        if (budget && !budget->mayRead()) {
            return false;
        }
        pausedCount.fetch_sub(1);
        if (budget) {
            MutexLock inner(budget->resumeLock);
            if (budget->resume) {
                budget->resume();
            }
        }
        return true;
    });
}
