// Carrying API requests from the HTTP sessions to the main thread and their
// responses back. The main thread owns the acquisition state, so every API
// request starts there, between commands: the server thread parks the request
// here and queues an API_EVT record naming it; the main loop hands that record
// to handleApiEvents, which carries the request out. The response is given to
// the request's reply on the main thread, at once or, for work done by the
// background worker, once that work is done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>

#include "base/mutex.h"
#include "server/net/api_request.h"

class EventQueue;

// Called on the main thread with the response; it must hand the response to
// the thread that owns the connection and return at once.
using ApiReply = std::function<void(ApiResponse)>;

// Requests waiting for the main thread at most; more are refused.
inline constexpr std::size_t kMaxWaitingApiRequests = 32;

// The requests parked for the main thread. The server thread submits, the
// main thread takes; shutdown discards what is left.
class ApiCalls {
  public:
    explicit ApiCalls(EventQueue& events);
    ApiCalls(const ApiCalls&) = delete;
    ApiCalls& operator=(const ApiCalls&) = delete;

    // Any thread. Parks the request and queues its API_EVT. False, with nothing
    // queued and `reply` dropped, when kMaxWaitingApiRequests are waiting already.
    bool submit(ApiRequest request, ApiReply reply) EXCLUDES(lock);

    // Main thread, for the API_EVT record's payload: takes the request it
    // names, and carries it out with `carryOut`, whose reply logs the
    // request's outcome on its way. A record naming no waiting request is ignored.
    void handle(const std::uint8_t* payload, std::size_t length,
                const std::function<void(const ApiRequest&, ApiReply)>& carryOut) EXCLUDES(lock);

    // Drops every waiting request without replying. For shutdown, once the
    // server thread has ended and before its connections are destroyed.
    void discard() EXCLUDES(lock);
    std::size_t waiting() const EXCLUDES(lock);

  private:
    struct Waiting {
        ApiRequest request;
        ApiReply reply;
    };

    EventQueue& events;
    mutable Mutex lock;
    std::map<std::uint64_t, Waiting> parked GUARDED_BY(lock);
    std::uint64_t lastId GUARDED_BY(lock) = 0;
};
