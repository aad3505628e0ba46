// The connected clients, in the order in which they connected, and the one way
// of sending bytes to them.
//
// The WebSocket server thread adds and removes connections; any thread may
// send. One mutex guards the list and is held for a whole broadcast, so two
// broadcasts never interleave and every client receives the messages in the
// same order.
//
// Own answers: a client that opted in (command 0x31) gets the answer to each
// of its commands, and the final answer of each operation it started, as one
// frame to it alone: 31 seqLo seqHi, then the answer's bytes, seq being the
// number of its command that the answer belongs to (counted from 1 after the
// opt-in, 16 bits, wrapping). The other clients get the plain answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/event_record.h"
#include "base/mutex.h"
#include "protocol/wire.h"

using ClientMessage = std::shared_ptr<const std::vector<std::uint8_t>>;

// A connected client. send must return at once: it only queues the message.
class ClientConnection {
  public:
    virtual ~ClientConnection() = default;
    virtual void send(ClientMessage message) = 0;
};

class ClientRegistry {
  public:
    ClientRegistry() = default;
    ClientRegistry(const ClientRegistry&) = delete;
    ClientRegistry& operator=(const ClientRegistry&) = delete;

    // The new client's identity.
    ClientId add(std::shared_ptr<ClientConnection> connection) EXCLUDES(lock);
    // The number of clients after the change.
    std::size_t remove(const ClientConnection* connection) EXCLUDES(lock);
    std::size_t count() const EXCLUDES(lock);

    // Sends the bytes as one binary message to every connected client, in
    // registry order. The caller's buffer may be released when this returns.
    void sendToClients(const std::uint8_t* data, std::size_t length) const EXCLUDES(lock);
    // The bytes to one client alone, as they are.
    void sendTo(ClientId client, const std::uint8_t* data, std::size_t length) const EXCLUDES(lock);
    // An answer for `origin`: its own answer (31 seq, then the bytes) when it
    // asked for them and is still connected, the plain bytes to everyone else.
    // `also`, when given, is another command the answer is for as well (a stop
    // that ends what another command started): its client gets its own too.
    void answer(const Origin& origin, const std::uint8_t* data, std::size_t length,
                const std::optional<Origin>& also = std::nullopt) const EXCLUDES(lock);
    // One answer that ends several commands at once (a stop and what it
    // stopped): each opted-in client gets one own frame per command of its in
    // `origins`, in their order; every other client gets the plain bytes once.
    void answerEach(const std::vector<Origin>& origins, const std::uint8_t* data,
                    std::size_t length) const EXCLUDES(lock);

    // The client's own answers from now on, counted from its next command.
    // False when it had asked for them already.
    bool optIn(ClientId client) EXCLUDES(lock);
    // A command of `client` is about to be handled: whom its answers are for.
    Origin beginCommand(ClientId client) EXCLUDES(lock);

  private:
    struct Client {
        std::shared_ptr<ClientConnection> connection;
        ClientId id = kNoClient;
        bool ownAnswers = false;
        std::uint16_t seq = 0;  // its last command's number
    };

    mutable Mutex lock;
    std::vector<Client> clients GUARDED_BY(lock);
    ClientId lastId GUARDED_BY(lock) = kNoClient;
};

// The frame of an own answer: 31 seqLo seqHi, then the bytes.
std::vector<std::uint8_t> ownAnswerFrame(std::uint16_t seq, const std::uint8_t* data,
                                         std::size_t length);
