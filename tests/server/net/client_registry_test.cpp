#include "server/net/client_registry.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/capturing_client.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ClientRegistry, WithNoClientSendingReachesNoOne) {
    ClientRegistry clientRegistry;
    const std::uint8_t bytes[] = {1, 0};
    clientRegistry.sendToClients(bytes, 2);
    EXPECT_EQ(clientRegistry.count(), 0u);
}

TEST(ClientRegistry, EveryClientReceivesEveryMessageInTheOrderSent) {
    ClientRegistry clientRegistry;
    ScopedCapturingClient first(clientRegistry);
    ScopedCapturingClient second(clientRegistry);
    const std::uint8_t a[] = {1, 0};
    const std::uint8_t b[] = {6, 0xFD};
    clientRegistry.sendToClients(a, 2);
    clientRegistry.sendToClients(b, 2);
    clientRegistry.sendToClients(a, 0);
    for (CapturingClient* client : {&*first, &*second}) {
        EXPECT_EQ(client->messages(), (std::vector<Bytes>{{1, 0}, {6, 0xFD}, {}}));
    }
}

TEST(ClientRegistry, CountsFollowConnectionsAndDisconnectionsAndIdentitiesAreNeverReused) {
    ClientRegistry clientRegistry;
    auto first = std::make_shared<CapturingClient>();
    auto second = std::make_shared<CapturingClient>();
    const ClientId one = clientRegistry.add(first);
    EXPECT_EQ(clientRegistry.count(), 1u);
    const ClientId two = clientRegistry.add(second);
    EXPECT_EQ(clientRegistry.count(), 2u);
    EXPECT_NE(one, kNoClient);
    EXPECT_NE(one, two);
    EXPECT_EQ(clientRegistry.remove(first.get()), 1u);
    EXPECT_NE(clientRegistry.add(first), one);
    EXPECT_EQ(clientRegistry.remove(first.get()), 1u);
    EXPECT_EQ(clientRegistry.remove(first.get()), 1u);
    EXPECT_EQ(clientRegistry.remove(second.get()), 0u);
}

TEST(ClientRegistry, BroadcastsFromManyThreadsReachEveryClientInTheSameOrder) {
    ClientRegistry clientRegistry;
    ScopedCapturingClient first(clientRegistry);
    ScopedCapturingClient second(clientRegistry);
    std::vector<std::thread> senders;
    for (std::uint8_t t = 0; t < 4; ++t) {
        senders.emplace_back([t, &clientRegistry] {
            for (std::uint8_t i = 0; i < 200; ++i) {
                const std::uint8_t bytes[] = {t, i};
                clientRegistry.sendToClients(bytes, 2);
            }
        });
    }
    for (auto& sender : senders) {
        sender.join();
    }
    const auto seenByFirst = first->messages();
    EXPECT_EQ(seenByFirst.size(), 800u);
    EXPECT_EQ(seenByFirst, second->messages());
    std::uint8_t next[4] = {};
    for (const Bytes& message : seenByFirst) {
        EXPECT_EQ(message[1], next[message[0]]++);
    }
}

}  // namespace
