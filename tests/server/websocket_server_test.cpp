#include "server/websocket_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "core/event_queue.h"
#include "server/client_registry.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;

// The server on an ephemeral port, served by its own thread for one test.
class ServerOnEphemeralPort {
  public:
    ServerOnEphemeralPort()
        : server(ListenOptions{0, {}, {}, {}}),
          listening(server.listen(error)),
          thread([this] { server.run(); }) {}
    ~ServerOnEphemeralPort() {
        server.stop();
        thread.join();
    }
    std::uint16_t port() const { return server.listeningPort(); }

  private:
    WebSocketServer server;
    std::string error;
    bool listening;
    std::thread thread;
};

EventRecord popWithin(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (EventRecord record = eventQueue.tryPop()) {
            return record;
        }
        std::this_thread::sleep_for(5ms);
    }
    return nullptr;
}

bool waitForClients(std::size_t count) {
    for (int i = 0; i < 1000; ++i) {
        if (clientRegistry.count() == count) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(WebSocketServer, TextAndBinaryMessagesBecomeTheSameClientEvent) {
    ServerOnEphemeralPort server;
    ASSERT_NE(server.port(), 0);
    WireClient client(server.port());
    ASSERT_TRUE(client.connected()) << client.error();
    client.sendText("\x01");
    client.send({0x01});
    for (int i = 0; i < 2; ++i) {
        const EventRecord record = popWithin(5s);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(*record, (std::vector<std::uint8_t>{APP_CLIENT_EVT, 0x01}));
    }
}

TEST(WebSocketServer, ConnectionsJoinAndLeaveTheRegistry) {
    ServerOnEphemeralPort server;
    {
        WireClient first(server.port());
        WireClient second(server.port());
        ASSERT_TRUE(first.connected() && second.connected());
        EXPECT_TRUE(waitForClients(2));
        const std::uint8_t answer[] = {0x01, 0x00};
        sendToClients(answer, 2);
        EXPECT_EQ(first.next(), (Bytes{1, 0}));
        EXPECT_EQ(second.next(), (Bytes{1, 0}));
    }
    EXPECT_TRUE(waitForClients(0));
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
    ASSERT_TRUE(waitForClients(1));

    testing::internal::CaptureStdout();
    const std::vector<std::uint8_t> chunk(1000, 0x07);
    for (int i = 0; i < 12000 && clientRegistry.count() == 1; ++i) {
        sendToClients(chunk.data(), chunk.size());
        if (i % 500 == 0) {
            std::this_thread::sleep_for(5ms);
        }
    }
    EXPECT_TRUE(waitForClients(0));
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("closing its connection"), std::string::npos);
    close(fd);
}

}  // namespace
