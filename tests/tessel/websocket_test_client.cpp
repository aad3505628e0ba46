#include "websocket_test_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>

namespace tessel::sim::testing {

WebSocketTestClient::~WebSocketTestClient() {
    if (fd >= 0) {
        ::close(fd);
    }
}

int WebSocketTestClient::open(int port, const std::optional<std::string>& origin) {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return 0;
    }
    timeval patience{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return 0;
    }
    std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                          "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                          "Sec-WebSocket-Version: 13\r\n";
    if (origin) {
        request += "Origin: " + *origin + "\r\n";
    }
    request += "\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        return 0;
    }
    std::string received;
    char chunk[1024];
    while (received.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) {
            break;
        }
        received.append(chunk, static_cast<std::size_t>(got));
    }
    const std::size_t end = received.find("\r\n\r\n");
    answer = received.substr(0, end == std::string::npos ? received.size() : end + 4);
    if (end != std::string::npos) {
        pending = received.substr(end + 4);
    }
    // "HTTP/1.1 101 Switching Protocols"
    if (answer.size() < 12 || answer.compare(0, 5, "HTTP/") != 0) {
        return 0;
    }
    return std::atoi(answer.c_str() + answer.find(' ') + 1);
}

bool WebSocketTestClient::send(const std::string& payload, bool binary) {
    std::string frame;
    frame += static_cast<char>(binary ? 0x82 : 0x81);  // FIN and the opcode
    const std::size_t length = payload.size();
    if (length < 126) {
        frame += static_cast<char>(0x80 | length);
    } else if (length < 65536) {
        frame += static_cast<char>(0x80 | 126);
        frame += static_cast<char>(length >> 8);
        frame += static_cast<char>(length & 0xFF);
    } else {
        frame += static_cast<char>(0x80 | 127);
        for (int shift = 56; shift >= 0; shift -= 8) {
            frame += static_cast<char>((static_cast<std::uint64_t>(length) >> shift) & 0xFF);
        }
    }
    const char mask[4] = {0x12, 0x34, 0x56, 0x78};
    frame.append(mask, 4);
    for (std::size_t i = 0; i < length; ++i) {
        frame += static_cast<char>(payload[i] ^ mask[i % 4]);
    }
    return ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(frame.size());
}

bool WebSocketTestClient::readExactly(void* out, std::size_t length) {
    auto* bytes = static_cast<char*>(out);
    while (length > 0) {
        if (!pending.empty()) {
            const std::size_t take = std::min(length, pending.size());
            std::memcpy(bytes, pending.data(), take);
            pending.erase(0, take);
            bytes += take;
            length -= take;
            continue;
        }
        const ssize_t got = ::recv(fd, bytes, length, 0);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

std::optional<std::string> WebSocketTestClient::receive() {
    unsigned char head[2];
    if (!readExactly(head, 2)) {
        return std::nullopt;
    }
    std::uint64_t length = head[1] & 0x7F;
    if (length == 126) {
        unsigned char extended[2];
        if (!readExactly(extended, 2)) {
            return std::nullopt;
        }
        length = (static_cast<std::uint64_t>(extended[0]) << 8) | extended[1];
    } else if (length == 127) {
        unsigned char extended[8];
        if (!readExactly(extended, 8)) {
            return std::nullopt;
        }
        length = 0;
        for (const unsigned char byte : extended) {
            length = (length << 8) | byte;
        }
    }
    if (length > (1u << 20)) {
        return std::nullopt;
    }
    std::string payload(static_cast<std::size_t>(length), '\0');
    if (length > 0 && !readExactly(payload.data(), payload.size())) {
        return std::nullopt;
    }
    if ((head[0] & 0x0F) != 0x1) {
        return std::nullopt;  // only text frames are answers
    }
    return payload;
}

}  // namespace tessel::sim::testing
