// The connected clients, in the order in which they connected, and the one way
// of sending bytes to them.
//
// The WebSocket server thread adds and removes connections; sendToClients may be
// called from any thread. One mutex guards the list and is held for a whole
// broadcast, so two broadcasts never interleave and every client receives the
// messages in the same order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/mutex.h"

using ClientMessage = std::shared_ptr<const std::vector<std::uint8_t>>;

// A connected client. send must return at once: it only queues the message.
class ClientConnection {
  public:
    virtual ~ClientConnection() = default;
    virtual void send(ClientMessage message) = 0;
};

class ClientRegistry {
  public:
    // Both return the number of clients after the change.
    std::size_t add(std::shared_ptr<ClientConnection> connection);
    std::size_t remove(const ClientConnection* connection);
    std::size_t count() const;
    void broadcast(const ClientMessage& message) const;

  private:
    mutable Mutex lock;
    std::vector<std::shared_ptr<ClientConnection>> clients GUARDED_BY(lock);
};

// Owner: the process (never destroyed). The WebSocket server thread adds and
// removes; any thread broadcasts.
extern ClientRegistry& clientRegistry;

// Sends the bytes as one binary message to every connected client, in
// registry order. The caller's buffer may be released when this returns.
void sendToClients(const std::uint8_t* data, std::size_t length);
