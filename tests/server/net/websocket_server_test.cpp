#include "server/net/websocket_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "base/event_queue.h"
#include "server/net/api_calls.h"
#include "server/net/client_registry.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

// The server on an ephemeral port, served by its own thread for one test.
class ServerOnEphemeralPort {
  public:
    ServerOnEphemeralPort()
        : server(ListenOptions{0, {}, {}, {}}, events, clients, api),
          listening(server.listen(error)),
          thread([this] { server.run(); }) {}
    ~ServerOnEphemeralPort() {
        server.stop();
        thread.join();
        api.discard();  // what it holds of the server's connections goes first
    }
    std::uint16_t port() const { return server.listeningPort(); }

    std::optional<Event> popWithin(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (std::optional<Event> event = events.tryPop()) {
                return event;
            }
            std::this_thread::sleep_for(5ms);
        }
        return std::nullopt;
    }

    bool waitForClients(std::size_t count) {
        for (int i = 0; i < 1000; ++i) {
            if (clients.count() == count) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    EventQueue events;
    ClientRegistry clients;
    ApiCalls api{events};

  private:
    WebSocketServer server;
    std::string error;
    bool listening;
    std::thread thread;
};

TEST(WebSocketServer, TextAndBinaryMessagesBecomeTheSameClientEvent) {
    ServerOnEphemeralPort server;
    ASSERT_NE(server.port(), 0);
    WireClient client(server.port());
    ASSERT_TRUE(client.connected()) << client.error();
    client.sendText("\x01");
    client.send({0x01});
    ClientId from = kNoClient;
    for (int i = 0; i < 2; ++i) {
        const std::optional<Event> event = server.popWithin(5s);
        ASSERT_TRUE(event.has_value());
        EXPECT_EQ(*event->record, (std::vector<std::uint8_t>{APP_CLIENT_EVT, 0x01}));
        EXPECT_NE(event->origin.client, kNoClient) << "each message says its client";
        EXPECT_TRUE(i == 0 || event->origin.client == from);
        from = event->origin.client;
    }
}

TEST(WebSocketServer, ConnectionsJoinAndLeaveTheRegistry) {
    ServerOnEphemeralPort server;
    {
        WireClient first(server.port());
        WireClient second(server.port());
        ASSERT_TRUE(first.connected() && second.connected());
        EXPECT_TRUE(server.waitForClients(2));
        const std::uint8_t answer[] = {0x01, 0x00};
        server.clients.sendToClients(answer, 2);
        EXPECT_EQ(first.next(), (Bytes{1, 0}));
        EXPECT_EQ(second.next(), (Bytes{1, 0}));
    }
    EXPECT_TRUE(server.waitForClients(0));
}

TEST(WebSocketServer, AClientThatNeverReadsIsDisconnectedInsteadOfGrowingMemory) {
    ServerOnEphemeralPort server;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    int small = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const std::string upgrade =
        "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
    ASSERT_EQ(write(fd, upgrade.data(), upgrade.size()), static_cast<ssize_t>(upgrade.size()));
    ASSERT_TRUE(server.waitForClients(1));

    testing::internal::CaptureStdout();
    const std::vector<std::uint8_t> chunk(1000, 0x07);
    for (int i = 0; i < 12000 && server.clients.count() == 1; ++i) {
        server.clients.sendToClients(chunk.data(), chunk.size());
        if (i % 500 == 0) {
            std::this_thread::sleep_for(5ms);
        }
    }
    EXPECT_TRUE(server.waitForClients(0));
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("closing its connection"), std::string::npos);
    close(fd);
}

}  // namespace
