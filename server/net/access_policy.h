// Who may use the server: the checks that every HTTP request and WebSocket
// upgrade passes before anything else is done with it.
//
// - Host: a request must be addressed to this server by a name or address it
//   answers to: localhost, a loopback address, the address the connection came
//   in on, or a host named with --allow-host. Anything else (a domain that a
//   page re-pointed at this machine) is refused with 421, a request without a
//   Host with 400.
// - Origin: a browser page may use the server only when it was served by the
//   server itself (its origin is http:// and the Host it addressed) or comes
//   from an origin named with --allow-origin; any other is refused with 403.
//   Native clients send no Origin.
// - Token: a server listening beyond loopback asks every peer that is not on
//   this machine's loopback for its secret token, as ?token=... in the target,
//   the header X-Quillon-Token or the cookie quillon_token: 401 without it,
//   403 with a wrong one.
//
// Plain functions over text, called on the server thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct AccessPolicy {
    bool network = false;  // listening beyond loopback: the token is asked for
    std::string token;
    std::vector<std::string> hosts;    // further host names, lower case
    std::vector<std::string> origins;  // further origins, as normalisedOrigin gives them
};

struct AccessRequest {
    std::string_view peerAddress;   // the connection's peer ("192.0.2.7", "::1")
    std::string_view localAddress;  // the address the connection came in on
    std::optional<std::string_view> host;
    std::optional<std::string_view> origin;
    std::string_view target;  // path and query
    std::string_view tokenHeader;
    std::string_view cookie;
};

struct AccessVerdict {
    int status = 0;              // 0 allowed; else 400, 401, 403 or 421
    std::string reason;          // why not, in words
    bool tokenInTarget = false;  // allowed on ?token=...
};

AccessVerdict checkAccess(const AccessPolicy& policy, const AccessRequest& request);

inline constexpr std::string_view kTokenCookie = "quillon_token";

// 127.0.0.0/8, ::1 and ::ffff:127.x.x.x.
bool isLoopbackAddress(std::string_view address);
// "http://host" or "http://host:port" in lower case, without a default port;
// empty when the text is not an origin of http or https.
std::string normalisedOrigin(std::string_view origin);
// A host name for --allow-host: letters, digits, dots and dashes.
bool isAcceptableHostName(std::string_view name);
// 32 random bytes as 64 hexadecimal digits; empty when the system gives none.
std::string makeAccessToken();
