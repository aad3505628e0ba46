#include "server/net/api_calls.h"

#include "base/event_queue.h"
#include "base/log.h"

namespace {

constexpr std::size_t kIdBytes = 8;

}  // namespace

ApiCalls::ApiCalls(EventQueue& queue) : events(queue) {}

bool ApiCalls::submit(ApiRequest request, ApiReply reply) {
    std::uint64_t id = 0;
    {
        MutexLock guard(lock);
        if (parked.size() >= kMaxWaitingApiRequests) {
            return false;
        }
        id = ++lastId;
        parked.emplace(id, Waiting{std::move(request), std::move(reply)});
    }
    std::uint8_t payload[kIdBytes];
    for (std::size_t i = 0; i < kIdBytes; ++i) {
        payload[i] = static_cast<std::uint8_t>(id >> (8 * i));
    }
    events.push(makeEventRecord(API_EVT, payload, kIdBytes));
    return true;
}

void ApiCalls::handle(const std::uint8_t* payload, std::size_t length,
                      const std::function<void(const ApiRequest&, ApiReply)>& carryOut) {
    if (length != kIdBytes) {
        return;
    }
    std::uint64_t id = 0;
    for (std::size_t i = 0; i < kIdBytes; ++i) {
        id |= static_cast<std::uint64_t>(payload[i]) << (8 * i);
    }
    Waiting call;
    {
        MutexLock guard(lock);
        const auto found = parked.find(id);
        if (found == parked.end()) {
            return;
        }
        call = std::move(found->second);
        parked.erase(found);
    }
    carryOut(call.request, [method = call.request.method, target = call.request.target,
                            reply = std::move(call.reply)](ApiResponse response) {
        logLine("api %.8s %.80s %d", method.c_str(), target.c_str(), response.status);
        reply(std::move(response));
    });
}

void ApiCalls::discard() {
    std::map<std::uint64_t, Waiting> dropped;
    {
        MutexLock guard(lock);
        dropped.swap(parked);
    }
}

std::size_t ApiCalls::waiting() const {
    MutexLock guard(lock);
    return parked.size();
}
