#include "server/net/client_registry.h"

#include <algorithm>

namespace {

ClientMessage messageOf(const std::uint8_t* data, std::size_t length) {
    return std::make_shared<const std::vector<std::uint8_t>>(data, data + length);
}

}  // namespace

std::vector<std::uint8_t> ownAnswerFrame(std::uint16_t seq, const std::uint8_t* data,
                                         std::size_t length) {
    std::vector<std::uint8_t> frame{OWN_ANSWERS, static_cast<std::uint8_t>(seq & 0xFF),
                                    static_cast<std::uint8_t>(seq >> 8)};
    frame.insert(frame.end(), data, data + length);
    return frame;
}

ClientId ClientRegistry::add(std::shared_ptr<ClientConnection> connection) {
    MutexLock guard(lock);
    clients.push_back(Client{std::move(connection), ++lastId});
    return lastId;
}

std::size_t ClientRegistry::remove(const ClientConnection* connection) {
    MutexLock guard(lock);
    std::erase_if(clients, [connection](const Client& client) {
        return client.connection.get() == connection;
    });
    return clients.size();
}

std::size_t ClientRegistry::count() const {
    MutexLock guard(lock);
    return clients.size();
}

void ClientRegistry::sendToClients(const std::uint8_t* data, std::size_t length) const {
    const ClientMessage message = messageOf(data, length);
    MutexLock guard(lock);
    for (const Client& client : clients) {
        client.connection->send(message);
    }
}

void ClientRegistry::sendTo(ClientId id, const std::uint8_t* data, std::size_t length) const {
    const ClientMessage message = messageOf(data, length);
    MutexLock guard(lock);
    for (const Client& client : clients) {
        if (client.id == id) {
            client.connection->send(message);
        }
    }
}

void ClientRegistry::answer(const Origin& origin, const std::uint8_t* data, std::size_t length,
                            const std::optional<Origin>& also) const {
    // The earlier command's first: `also` started what this answer ends.
    std::vector<Origin> origins;
    if (also) {
        origins.push_back(*also);
    }
    origins.push_back(origin);
    answerEach(origins, data, length);
}

void ClientRegistry::answerEach(const std::vector<Origin>& origins, const std::uint8_t* data,
                                std::size_t length) const {
    const ClientMessage plain = messageOf(data, length);
    std::vector<std::pair<ClientId, ClientMessage>> own;
    for (const Origin& one : origins) {
        if (one.seq) {
            const std::vector<std::uint8_t> frame = ownAnswerFrame(*one.seq, data, length);
            own.emplace_back(one.client, messageOf(frame.data(), frame.size()));
        }
    }
    MutexLock guard(lock);
    for (const Client& client : clients) {
        bool answered = false;
        for (const auto& [id, message] : own) {
            if (client.ownAnswers && id == client.id) {
                client.connection->send(message);
                answered = true;
            }
        }
        if (!answered) {
            client.connection->send(plain);
        }
    }
}

bool ClientRegistry::optIn(ClientId id) {
    MutexLock guard(lock);
    for (Client& client : clients) {
        if (client.id == id) {
            const bool first = !client.ownAnswers;
            client.ownAnswers = true;
            return first;
        }
    }
    return false;
}

Origin ClientRegistry::beginCommand(ClientId id) {
    MutexLock guard(lock);
    for (Client& client : clients) {
        if (client.id == id && client.ownAnswers) {
            return Origin{id, ++client.seq};
        }
    }
    return Origin{id, std::nullopt};
}
