#include "api/api_calls.h"

#include <map>

#include "api/api_router.h"
#include "core/event_queue.h"
#include "core/log.h"
#include "core/mutex.h"

namespace {

struct Waiting {
    ApiRequest request;
    ApiReply reply;
};

// Owner: the process. The server thread parks requests, the main thread takes
// them; shutdown drops what is left.
Mutex lock;
std::map<std::uint64_t, Waiting> waiting GUARDED_BY(lock);
std::uint64_t lastId GUARDED_BY(lock) = 0;

constexpr std::size_t kIdBytes = 8;

}  // namespace

bool submitApiRequest(ApiRequest request, ApiReply reply) {
    std::uint64_t id = 0;
    {
        MutexLock guard(lock);
        if (waiting.size() >= kMaxWaitingApiRequests) {
            return false;
        }
        id = ++lastId;
        waiting.emplace(id, Waiting{std::move(request), std::move(reply)});
    }
    std::uint8_t payload[kIdBytes];
    for (std::size_t i = 0; i < kIdBytes; ++i) {
        payload[i] = static_cast<std::uint8_t>(id >> (8 * i));
    }
    eventQueue.push(makeEventRecord(API_EVT, payload, kIdBytes));
    return true;
}

void handleApiEvents(const std::uint8_t* payload, std::size_t length) {
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
        const auto found = waiting.find(id);
        if (found == waiting.end()) {
            return;
        }
        call = std::move(found->second);
        waiting.erase(found);
    }
    ApiResponse response = handleApiRequest(call.request);
    logLine("api %.8s %.80s %d", call.request.method.c_str(), call.request.target.c_str(),
            response.status);
    call.reply(std::move(response));
}

void discardApiRequests() {
    std::map<std::uint64_t, Waiting> dropped;
    {
        MutexLock guard(lock);
        dropped.swap(waiting);
    }
}

std::size_t waitingApiRequests() {
    MutexLock guard(lock);
    return waiting.size();
}
