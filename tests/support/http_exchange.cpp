#include "tests/support/http_exchange.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::string HttpResponse::header(const std::string& name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

std::vector<HttpResponse> parseResponses(std::string raw) {
    std::vector<HttpResponse> responses;
    while (true) {
        const auto headEnd = raw.find("\r\n\r\n");
        if (headEnd == std::string::npos) {
            return responses;
        }
        HttpResponse response;
        std::istringstream head(raw.substr(0, headEnd));
        std::string line;
        std::getline(head, line);
        if (line.rfind("HTTP/1.1 ", 0) != 0 || line.size() < 12) {
            return responses;
        }
        response.status = std::stoi(line.substr(9, 3));
        while (std::getline(head, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const auto colon = line.find(':');
            if (colon != std::string::npos) {
                const auto value = line.find_first_not_of(' ', colon + 1);
                response.headers[lowered(line.substr(0, colon))] =
                    value == std::string::npos ? "" : line.substr(value);
            }
        }
        const std::string length = response.header("content-length");
        const std::size_t bodyLength = length.empty() ? 0 : std::stoul(length);
        response.body = raw.substr(headEnd + 4, bodyLength);
        raw.erase(0, std::min(raw.size(), headEnd + 4 + bodyLength));
        responses.push_back(response);
    }
}

std::string httpExchange(std::uint16_t port, const std::string& request, const std::string& at) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return {};
    }
    timeval timeout{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, at.c_str(), &address.sin_addr);
    std::string received;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        char buffer[65536];
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            received.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    return received;
}

HttpResponse httpRequest(std::uint16_t port, const std::string& method, const std::string& target,
                         const std::string& body, const std::string& headers) {
    std::string text = method + " " + target +
                       " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) +
                       "\r\nConnection: close\r\n" + headers;
    if (!body.empty()) {
        text += "Content-Type: application/octet-stream\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n";
    }
    const auto responses = parseResponses(httpExchange(port, text + "\r\n" + body));
    return responses.empty() ? HttpResponse{} : responses.front();
}
