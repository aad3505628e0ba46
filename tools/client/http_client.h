// A small HTTP/1.1 client for the server's API: one request per connection,
// answered in full before the connection closes. Plain sockets, no Beast.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

struct HttpReply {
    int status = 0;
    std::string contentType;
    std::string body;
};

struct HttpCall {
    std::string method = "GET";
    std::string target;    // "/api/status"
    std::string body;      // sent with its length when not empty
    bool changes = false;  // adds "X-Quillon-Request: 1"
};

// The largest response body read; a longer one fails the call. The CSV of the
// largest recording the server lets grow (16 MiB of raw bytes) is about 90 MB.
inline constexpr std::size_t kMaxHttpReplyBytes = 128 * 1024 * 1024;

// Sends the call to host:port and reads the whole response within `timeout`.
// False, with the reason in `error`, when no complete response arrives.
bool httpCall(const std::string& host, std::uint16_t port, const HttpCall& call,
              std::chrono::milliseconds timeout, HttpReply& reply, std::string& error);

// Parses one complete response: status line, headers, and a body of the
// Content-Length given (or everything after the headers without one).
bool parseHttpReply(const std::string& raw, HttpReply& reply, std::string& error);
