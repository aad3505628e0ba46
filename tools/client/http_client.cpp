#include "tools/client/http_client.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, 1000000)) : 0;
}

bool waitFor(int fd, short events, Clock::time_point deadline) {
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, remainingMs(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// A connected socket, or -1 with `error` set.
int connectTo(const std::string& host, std::uint16_t port, Clock::time_point deadline,
              std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        error = "cannot resolve " + host;
        return -1;
    }
    int fd = -1;
    for (addrinfo* at = found; at != nullptr && fd < 0; at = at->ai_next) {
        fd = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                      at->ai_protocol);
        if (fd < 0) {
            continue;
        }
        int problem = 0;
        socklen_t size = sizeof problem;
        const bool connected =
            ::connect(fd, at->ai_addr, at->ai_addrlen) == 0 ||
            (errno == EINPROGRESS && waitFor(fd, POLLOUT, deadline) &&
             ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &problem, &size) == 0 && problem == 0);
        if (!connected) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd < 0) {
        error = "cannot connect to " + host + ":" + std::to_string(port);
    }
    return fd;
}

bool sendAll(int fd, const std::string& bytes, Clock::time_point deadline) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(fd, POLLOUT, deadline)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

// Reads until the peer closes; false on a time-out or an over-long response.
bool receiveAll(int fd, Clock::time_point deadline, std::string& raw, std::string& error) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            raw.append(buffer, static_cast<std::size_t>(n));
            if (raw.size() > kMaxHttpReplyBytes + 64 * 1024) {
                error = "the response is too large";
                return false;
            }
        } else if (n == 0) {
            return true;
        } else if (errno == EAGAIN || errno == EINTR) {
            if (!waitFor(fd, POLLIN, deadline)) {
                error = "no complete response in time";
                return false;
            }
        } else {
            error = std::string("the connection failed: ") + std::strerror(errno);
            return false;
        }
    }
}

}  // namespace

bool parseHttpReply(const std::string& raw, HttpReply& reply, std::string& error) {
    const std::size_t headEnd = raw.find("\r\n\r\n");
    if (headEnd == std::string::npos || raw.compare(0, 9, "HTTP/1.1 ") != 0 || headEnd < 12 ||
        !std::isdigit(static_cast<unsigned char>(raw[9])) ||
        !std::isdigit(static_cast<unsigned char>(raw[10])) ||
        !std::isdigit(static_cast<unsigned char>(raw[11]))) {
        error = "the server's response is not HTTP/1.1";
        return false;
    }
    reply.status = (raw[9] - '0') * 100 + (raw[10] - '0') * 10 + (raw[11] - '0');
    std::size_t length = raw.size() - headEnd - 4;
    bool lengthGiven = false;
    std::size_t at = raw.find("\r\n") + 2;
    while (at < headEnd) {
        const std::size_t end = raw.find("\r\n", at);
        const std::string line = raw.substr(at, end - at);
        at = end + 2;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        const std::string name = lowered(line.substr(0, colon));
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        if (name == "content-type") {
            reply.contentType = value;
        } else if (name == "content-length") {
            char* stop = nullptr;
            const unsigned long long given = std::strtoull(value.c_str(), &stop, 10);
            if (value.empty() || *stop != '\0' || given > kMaxHttpReplyBytes) {
                error = "the response's length is not acceptable";
                return false;
            }
            length = static_cast<std::size_t>(given);
            lengthGiven = true;
        }
    }
    if (lengthGiven && raw.size() - headEnd - 4 < length) {
        error = "the response was cut short";
        return false;
    }
    reply.body = raw.substr(headEnd + 4, length);
    return true;
}

bool httpCall(const std::string& host, std::uint16_t port, const HttpCall& call,
              std::chrono::milliseconds timeout, HttpReply& reply, std::string& error) {
    const Clock::time_point deadline = Clock::now() + timeout;
    const int fd = connectTo(host, port, deadline, error);
    if (fd < 0) {
        return false;
    }
    std::string request = call.method + " " + call.target + " HTTP/1.1\r\nHost: " + host + ":" +
                          std::to_string(port) + "\r\nConnection: close\r\n";
    if (call.changes) {
        request += "X-Quillon-Request: 1\r\n";
    }
    if (!call.body.empty()) {
        request += "Content-Type: application/json\r\nContent-Length: " +
                   std::to_string(call.body.size()) + "\r\n";
    }
    request += "\r\n" + call.body;
    std::string raw;
    bool ok = sendAll(fd, request, deadline);
    if (!ok) {
        error = "the request could not be sent";
    } else {
        ok = receiveAll(fd, deadline, raw, error) && parseHttpReply(raw, reply, error);
    }
    ::close(fd);
    return ok;
}
