#include "server/net/access_policy.h"

#include <arpa/inet.h>
#include <sys/random.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace {

std::string lowerCased(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool isPort(std::string_view text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        return false;
    }
    return std::stoul(std::string(text)) <= 65535;
}

struct Authority {
    std::string_view host;  // "name", "1.2.3.4" or "[v6]"
    std::string_view port;  // empty when none was given
};

// The host and port of "host", "host:port", "[v6]" or "[v6]:port", with
// nothing else around them; an empty host when the text is anything more or less.
Authority authorityOf(std::string_view text) {
    Authority authority;
    std::string_view rest;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        authority.host = text.substr(0, close + 1);
        rest = text.substr(close + 1);
    } else {
        const auto colon = text.find(':');
        authority.host = text.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
        if (!isAcceptableHostName(authority.host)) {
            return {};
        }
    }
    if (!rest.empty()) {
        if (!rest.starts_with(':') || !isPort(rest.substr(1))) {
            return {};
        }
        authority.port = rest.substr(1);
    }
    return authority;
}

// The 16 bytes of an IPv6 address or of an IPv4 one mapped into IPv6; false
// when the text is neither ("[v6]" brackets allowed).
bool addressBytes(std::string_view text, unsigned char (&bytes)[16]) {
    if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
    }
    const std::string plain(text);
    unsigned char v4[4];
    if (inet_pton(AF_INET, plain.c_str(), v4) == 1) {
        std::memset(bytes, 0, 10);
        bytes[10] = bytes[11] = 0xFF;
        std::memcpy(bytes + 12, v4, 4);
        return true;
    }
    return inet_pton(AF_INET6, plain.c_str(), bytes) == 1;
}

bool sameAddress(std::string_view a, std::string_view b) {
    unsigned char first[16];
    unsigned char second[16];
    return addressBytes(a, first) && addressBytes(b, second) && std::memcmp(first, second, 16) == 0;
}

// The value of `name` in a query ("a=1&token=x") or a cookie header ("a=1; token=x").
std::string_view valueIn(std::string_view text, std::string_view name, char separator) {
    while (!text.empty()) {
        const auto end = text.find(separator);
        std::string_view pair = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (pair.starts_with(' ')) {
            pair.remove_prefix(1);
        }
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=') {
            return pair.substr(name.size() + 1);
        }
    }
    return {};
}

// Compares in a time that does not depend on where the texts differ.
bool sameSecret(std::string_view given, std::string_view secret) {
    unsigned char difference = given.size() == secret.size() ? 0 : 1;
    for (std::size_t i = 0; i < secret.size(); ++i) {
        difference |=
            static_cast<unsigned char>(static_cast<unsigned char>(i < given.size() ? given[i] : 0) ^
                                       static_cast<unsigned char>(secret[i]));
    }
    return difference == 0;
}

bool hostAccepted(const AccessPolicy& policy, std::string_view host, std::string_view local) {
    unsigned char bytes[16];
    if (addressBytes(host, bytes)) {
        return isLoopbackAddress(host) || sameAddress(host, local);
    }
    return host == "localhost" ||
           std::find(policy.hosts.begin(), policy.hosts.end(), host) != policy.hosts.end();
}

AccessVerdict refused(int status, std::string reason) {
    AccessVerdict verdict;
    verdict.status = status;
    verdict.reason = std::move(reason);
    return verdict;
}

}  // namespace

bool isAcceptableHostName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-';
    });
}

bool isLoopbackAddress(std::string_view address) {
    unsigned char bytes[16];
    if (!addressBytes(address, bytes)) {
        return false;
    }
    static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    static const unsigned char kLoopback6[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return (std::memcmp(bytes, kMapped, 12) == 0 && bytes[12] == 127) ||
           std::memcmp(bytes, kLoopback6, 16) == 0;
}

std::string normalisedOrigin(std::string_view origin) {
    const std::string lower = lowerCased(origin);
    std::string_view rest(lower);
    std::string scheme;
    if (rest.starts_with("http://")) {
        scheme = "http://";
    } else if (rest.starts_with("https://")) {
        scheme = "https://";
    } else {
        return {};  // "null" and every other scheme
    }
    rest.remove_prefix(scheme.size());
    const Authority authority = authorityOf(rest);
    if (authority.host.empty()) {
        return {};
    }
    const std::string_view defaultPort = scheme == "http://" ? "80" : "443";
    std::string out = scheme + std::string(authority.host);
    if (!authority.port.empty() && authority.port != defaultPort) {
        out += ":" + std::string(authority.port);
    }
    return out;
}

AccessVerdict checkAccess(const AccessPolicy& policy, const AccessRequest& request) {
    if (!request.host) {
        return refused(400, "a request must name its host");
    }
    const std::string host = lowerCased(*request.host);
    const Authority addressed = authorityOf(host);
    if (addressed.host.empty() || !hostAccepted(policy, addressed.host, request.localAddress)) {
        return refused(421, "requests addressed to \"" + std::string(*request.host).substr(0, 80) +
                                "\" are not served here");
    }
    if (request.origin) {
        const std::string origin = normalisedOrigin(*request.origin);
        const bool own = !origin.empty() && origin == normalisedOrigin("http://" + host);
        const bool named =
            !origin.empty() &&
            std::find(policy.origins.begin(), policy.origins.end(), origin) != policy.origins.end();
        if (!own && !named) {
            return refused(403, "requests from pages of other sites are not allowed");
        }
    }
    AccessVerdict verdict;
    if (!policy.network || isLoopbackAddress(request.peerAddress)) {
        return verdict;
    }
    const std::string_view target = request.target;
    const auto query = target.find('?');
    const std::string_view inTarget = query == std::string_view::npos
                                          ? std::string_view()
                                          : valueIn(target.substr(query + 1), "token", '&');
    std::string_view given = inTarget;
    if (given.empty()) {
        given = request.tokenHeader;
    }
    if (given.empty()) {
        given = valueIn(request.cookie, kTokenCookie, ';');
    }
    if (given.empty()) {
        return refused(401, "this server asks for its token: open the address it printed at start");
    }
    if (policy.token.empty() || !sameSecret(given, policy.token)) {
        return refused(403, "the token is wrong");
    }
    verdict.tokenInTarget = !inTarget.empty();
    return verdict;
}

std::string makeAccessToken() {
    unsigned char bytes[32];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return {};
        }
        got += static_cast<std::size_t>(n);
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char byte : bytes) {
        token += kDigits[byte >> 4];
        token += kDigits[byte & 0xF];
    }
    return token;
}
