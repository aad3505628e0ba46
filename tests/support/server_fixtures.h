// Test fixtures that start a sped-up server of their own for each test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ctl_process.h"
#include "tests/support/server_process.h"
#include "tests/support/wire_client.h"

// One WebSocket client connected to the server; no armband yet.
class ServerWithClient : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.start()) << server.log();
        connection = std::make_unique<WireClient>(server.port());
        ASSERT_TRUE(client().connected()) << client().error();
    }
    WireClient& client() { return *connection; }
    Bytes answerTo(const Bytes& command,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return ::answerTo(client(), command, timeout);
    }

    ServerProcess server;
    std::unique_ptr<WireClient> connection;
};

// The same, with the armband scanned for and connected.
class ServerWithArmband : public ServerWithClient {
  protected:
    void SetUp() override {
        ServerWithClient::SetUp();
        if (!HasFatalFailure()) {
            ASSERT_NO_FATAL_FAILURE(::scanAndConnect(client()));
        }
    }
};

// A server driven through quillonctl, asked to end once the test is over.
class ServerWithQuillonctl : public testing::Test {
  protected:
    explicit ServerWithQuillonctl(std::vector<std::string> serverArguments = {})
        : server(kTestSpeed, std::move(serverArguments)) {}
    void SetUp() override { ASSERT_TRUE(server.start()) << server.log(); }
    void TearDown() override {
        if (server.running()) {
            runCtl(server.ctl({"exit"}));
            EXPECT_EQ(server.waitForExit(), 0) << server.log();
        }
    }
    CtlRun ctl(const std::vector<std::string>& arguments,
               std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        return runCtl(server.ctl(arguments), limit);
    }

    ServerProcess server;
};
