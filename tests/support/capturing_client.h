#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "server/net/client_registry.h"

// A client that keeps every message sent to it. Add it to a client registry
// to see what the server broadcasts.
class CapturingClient : public ClientConnection {
  public:
    using Bytes = std::vector<std::uint8_t>;

    void send(ClientMessage message) override;
    std::vector<Bytes> messages() const;
    // Waits until at least `count` messages have arrived; false on time-out.
    bool waitForCount(std::size_t count,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // The messages whose first byte is `code`.
    std::vector<Bytes> messagesWithCode(std::uint8_t code) const;
    void clear();

  private:
    mutable std::mutex lock;
    mutable std::condition_variable arrived;
    std::vector<Bytes> received;  // guarded by lock
};

// Registers a capturing client with `registry` for the scope of a test.
class ScopedCapturingClient {
  public:
    explicit ScopedCapturingClient(ClientRegistry& registry);
    ~ScopedCapturingClient();
    ScopedCapturingClient(const ScopedCapturingClient&) = delete;
    ScopedCapturingClient& operator=(const ScopedCapturingClient&) = delete;
    CapturingClient& operator*() const { return *client; }
    CapturingClient* operator->() const { return client.get(); }
    ClientId id() const { return clientId; }
    // Whom a message of this client comes from.
    Origin origin() const { return Origin{clientId, std::nullopt}; }

  private:
    ClientRegistry& registry;
    std::shared_ptr<CapturingClient> client;
    ClientId clientId;
};
