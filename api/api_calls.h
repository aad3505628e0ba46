// Carrying API requests from the HTTP sessions to the main thread and their
// responses back. The main thread owns the working directory's files and the
// acquisition state, so every API request is carried out there, between
// commands: the server thread parks the request here and queues an API_EVT
// record naming it; the main loop hands that record to handleApiEvents, which
// carries the request out and gives the response to the request's reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "api/api_request.h"

// Called on the main thread with the response; it must hand the response to
// the thread that owns the connection and return at once.
using ApiReply = std::function<void(ApiResponse)>;

// Requests waiting for the main thread at most; more are refused.
inline constexpr std::size_t kMaxWaitingApiRequests = 32;

// Any thread. Parks the request and queues its API_EVT. False, with nothing
// queued and `reply` dropped, when kMaxWaitingApiRequests are waiting already.
bool submitApiRequest(ApiRequest request, ApiReply reply);

// The API_EVT handler (main thread): carries out the request the record names
// and replies. A record naming no waiting request is ignored.
void handleApiEvents(const std::uint8_t* payload, std::size_t length);

// Drops every waiting request without replying. For shutdown, once the server
// thread has ended and before its connections are destroyed.
void discardApiRequests();

std::size_t waitingApiRequests();
