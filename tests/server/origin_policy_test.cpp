#include "server/origin_policy.h"

#include <gtest/gtest.h>

namespace {

TEST(OriginPolicy, NativeClientsWithoutAnOriginAreAccepted) {
    EXPECT_TRUE(isOriginAllowed(false, "", "example.com:8888"));
}

TEST(OriginPolicy, PagesServedFromThisMachineAreAccepted) {
    EXPECT_TRUE(isOriginAllowed(true, "http://localhost:8888", "localhost:8888"));
    EXPECT_TRUE(isOriginAllowed(true, "http://127.0.0.1", "127.0.0.1:8888"));
    EXPECT_TRUE(isOriginAllowed(true, "http://[::1]:8888", "[::1]:8888"));
    EXPECT_TRUE(isOriginAllowed(true, "HTTP://LOCALHOST:3000", "localhost:8888"));
}

TEST(OriginPolicy, AnIpLiteralOriginIsAcceptedOnlyWhenItIsTheAddressedHost) {
    EXPECT_TRUE(isOriginAllowed(true, "http://192.168.1.20:8888", "192.168.1.20:8888"));
    EXPECT_FALSE(isOriginAllowed(true, "http://192.168.1.21:8888", "192.168.1.20:8888"));
    EXPECT_TRUE(isOriginAllowed(true, "http://[fe80::1]:8888", "[fe80::1]:8888"));
}

TEST(OriginPolicy, OtherPagesAreRefused) {
    EXPECT_FALSE(isOriginAllowed(true, "https://evil.example", "localhost:8888"));
    EXPECT_FALSE(isOriginAllowed(true, "null", "localhost:8888"));
    EXPECT_FALSE(isOriginAllowed(true, "", "localhost:8888"));
    // A domain could be re-pointed at this machine, so matching the Host header is not enough.
    EXPECT_FALSE(isOriginAllowed(true, "http://quillon.example:8888", "quillon.example:8888"));
    EXPECT_FALSE(isOriginAllowed(true, "http://localhost.evil.example", "localhost:8888"));
    EXPECT_FALSE(isOriginAllowed(true, "http://user@localhost", "localhost:8888"));
    EXPECT_FALSE(isOriginAllowed(true, "http://[::1", "localhost:8888"));
    // An origin is a scheme, a host and a port, nothing before or after them.
    EXPECT_FALSE(isOriginAllowed(true, "http://localhost:8888.evil.example", "localhost:8888"));
    EXPECT_FALSE(isOriginAllowed(true, "http://localhost/evil", "localhost:8888"));
    EXPECT_FALSE(isOriginAllowed(true, "http://localhost:99999", "localhost:8888"));
    EXPECT_FALSE(isOriginAllowed(true, "ftp://localhost", "localhost:8888"));
    EXPECT_FALSE(isOriginAllowed(true, "http://127.0.0.1:8888?x", "127.0.0.1:8888"));
}

}  // namespace
