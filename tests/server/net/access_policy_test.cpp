#include "server/net/access_policy.h"

#include <gtest/gtest.h>

namespace {

AccessRequest asked(std::string_view host, std::optional<std::string_view> origin = std::nullopt,
                    std::string_view peer = "127.0.0.1", std::string_view local = "127.0.0.1") {
    AccessRequest request;
    request.peerAddress = peer;
    request.localAddress = local;
    request.host = host;
    request.origin = origin;
    request.target = "/api/status";
    return request;
}

TEST(AccessPolicy, OnlyNamesAndAddressesTheServerAnswersToAreServed) {
    AccessPolicy policy;
    for (const char* host :
         {"localhost:8888", "LOCALHOST", "127.0.0.1:8888", "127.3.4.5", "[::1]:8888"}) {
        EXPECT_EQ(checkAccess(policy, asked(host)).status, 0) << host;
    }
    // A page's domain re-pointed at this machine is not served (DNS rebinding).
    for (const char* host : {"rebind.attacker.example:8888", "localhost.evil.example", "192.0.2.9",
                             "localhost:99999", "user@localhost", ""}) {
        EXPECT_EQ(checkAccess(policy, asked(host)).status, 421) << host;
    }
    AccessRequest noHost = asked("");
    noHost.host.reset();
    EXPECT_EQ(checkAccess(policy, noHost).status, 400);
    // The address the connection came in on, and names the user gave.
    EXPECT_EQ(checkAccess(policy, asked("192.0.2.2:8888", {}, "192.0.2.7", "192.0.2.2")).status, 0);
    EXPECT_EQ(checkAccess(policy, asked("[fd00::2]", {}, "fd00::7", "fd00::2")).status, 0);
    EXPECT_EQ(checkAccess(policy, asked("192.0.2.2", {}, "192.0.2.7", "::ffff:192.0.2.2")).status,
              0);
    policy.hosts = {"mypc.local"};
    EXPECT_EQ(checkAccess(policy, asked("MyPC.local:8888")).status, 0);
}

TEST(AccessPolicy, PagesAreTrustedFromTheServersOwnOriginAndNamedOnesOnly) {
    AccessPolicy policy;
    EXPECT_EQ(checkAccess(policy, asked("localhost:8888", "http://localhost:8888")).status, 0);
    EXPECT_EQ(checkAccess(policy, asked("127.0.0.1", "HTTP://127.0.0.1:80")).status, 0);
    for (const char* origin :
         {"http://localhost:3000", "http://127.0.0.1:8888", "https://localhost:8888", "null",
          "http://evil.example", "http://localhost:8888/x", ""}) {
        EXPECT_EQ(checkAccess(policy, asked("localhost:8888", origin)).status, 403) << origin;
    }
    policy.origins = {normalisedOrigin("http://LOCALHOST:3000")};
    EXPECT_EQ(checkAccess(policy, asked("localhost:8888", "http://localhost:3000")).status, 0);
    EXPECT_EQ(normalisedOrigin("https://Example.org:443"), "https://example.org");
    EXPECT_EQ(normalisedOrigin("ftp://example.org"), "");
}

TEST(AccessPolicy, BeyondLoopbackEveryPeerButALocalOneShowsTheToken) {
    AccessPolicy policy;
    policy.network = true;
    policy.token = std::string(64, 'a');
    const std::string_view host = "192.0.2.2:8888";
    AccessRequest phone = asked(host, "http://192.0.2.2:8888", "192.0.2.7", "192.0.2.2");
    EXPECT_EQ(checkAccess(policy, phone).status, 401);
    const std::string wrong = "/?speed=2&token=" + std::string(63, 'a') + "b";
    phone.target = wrong;
    EXPECT_EQ(checkAccess(policy, phone).status, 403);
    const std::string good = "/?speed=2&token=" + policy.token;
    phone.target = good;
    EXPECT_EQ(checkAccess(policy, phone).status, 0);
    EXPECT_TRUE(checkAccess(policy, phone).tokenInTarget);
    phone.target = "/api/status";
    phone.tokenHeader = policy.token;
    EXPECT_EQ(checkAccess(policy, phone).status, 0);
    phone.tokenHeader = {};
    const std::string cookie = "a=1; quillon_token=" + policy.token;
    phone.cookie = cookie;
    EXPECT_EQ(checkAccess(policy, phone).status, 0);
    EXPECT_FALSE(checkAccess(policy, phone).tokenInTarget);
    // The same machine needs none, through loopback or an IPv4-mapped loopback.
    EXPECT_EQ(checkAccess(policy, asked("localhost:8888", {}, "127.0.0.1")).status, 0);
    EXPECT_EQ(checkAccess(policy, asked("localhost:8888", {}, "::ffff:127.0.0.1")).status, 0);
    EXPECT_FALSE(isLoopbackAddress("192.0.2.7"));
    EXPECT_FALSE(isLoopbackAddress("::ffff:192.0.2.7"));
    EXPECT_EQ(makeAccessToken().size(), 64u);
    EXPECT_NE(makeAccessToken(), makeAccessToken());
}

}  // namespace
