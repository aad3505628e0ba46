// Plain HTTP/1.1 against the server under test, on 127.0.0.1.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct HttpResponse {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    std::string header(const std::string& name) const;
};

// Parses every response in `raw`, one after another (several on a kept-alive connection).
std::vector<HttpResponse> parseResponses(std::string raw);

// Sends `request` as it stands on a fresh connection to `address` (an IPv4
// address) and reads until the server closes it (or 10 s pass without a byte).
std::string httpExchange(std::uint16_t port, const std::string& request,
                         const std::string& address = "127.0.0.1");

// One request with "Connection: close"; `headers` are extra lines, each
// ending in "\r\n". A body is sent with its length.
HttpResponse httpRequest(std::uint16_t port, const std::string& method, const std::string& target,
                         const std::string& body = {}, const std::string& headers = {});
inline HttpResponse httpGet(std::uint16_t port, const std::string& target) {
    return httpRequest(port, "GET", target);
}
