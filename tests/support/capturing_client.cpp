#include "tests/support/capturing_client.h"

void CapturingClient::send(ClientMessage message) {
    {
        std::lock_guard<std::mutex> guard(lock);
        received.push_back(*message);
    }
    arrived.notify_all();
}

std::vector<CapturingClient::Bytes> CapturingClient::messages() const {
    std::lock_guard<std::mutex> guard(lock);
    return received;
}

bool CapturingClient::waitForCount(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(lock);
    return arrived.wait_for(guard, timeout, [&] { return received.size() >= count; });
}

std::vector<CapturingClient::Bytes> CapturingClient::messagesWithCode(std::uint8_t code) const {
    std::vector<Bytes> matching;
    for (const Bytes& message : messages()) {
        if (!message.empty() && message[0] == code) {
            matching.push_back(message);
        }
    }
    return matching;
}

void CapturingClient::clear() {
    std::lock_guard<std::mutex> guard(lock);
    received.clear();
}

ScopedCapturingClient::ScopedCapturingClient(ClientRegistry& clients)
    : registry(clients),
      client(std::make_shared<CapturingClient>()),
      clientId(clients.add(client)) {}

ScopedCapturingClient::~ScopedCapturingClient() {
    registry.remove(client.get());
}
