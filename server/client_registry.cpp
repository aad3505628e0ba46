#include "server/client_registry.h"

#include <algorithm>

// Lives until the process is gone: the identification thread and the SDK
// callback thread may still broadcast while the process exits.
ClientRegistry& clientRegistry = *new ClientRegistry;

std::size_t ClientRegistry::add(std::shared_ptr<ClientConnection> connection) {
    MutexLock guard(lock);
    clients.push_back(std::move(connection));
    return clients.size();
}

std::size_t ClientRegistry::remove(const ClientConnection* connection) {
    MutexLock guard(lock);
    std::erase_if(clients, [connection](const auto& client) { return client.get() == connection; });
    return clients.size();
}

std::size_t ClientRegistry::count() const {
    MutexLock guard(lock);
    return clients.size();
}

void ClientRegistry::broadcast(const ClientMessage& message) const {
    MutexLock guard(lock);
    for (const auto& client : clients) {
        client->send(message);
    }
}

void sendToClients(const std::uint8_t* data, std::size_t length) {
    clientRegistry.broadcast(
        std::make_shared<const std::vector<std::uint8_t>>(data, data + length));
}
