#include "server/origin_policy.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace {

std::string lowered(std::string_view text) {
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

bool isHostName(std::string_view host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-';
    });
}

// The host of "host", "host:port", "[v6]" or "[v6]:port", with nothing else
// around it; empty when the text is anything more or less.
std::string_view hostOf(std::string_view authority) {
    std::string_view host;
    std::string_view rest;
    if (authority.starts_with('[')) {
        const auto close = authority.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        host = authority.substr(0, close + 1);
        rest = authority.substr(close + 1);
    } else {
        const auto colon = authority.find(':');
        host = authority.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
        if (!isHostName(host)) {
            return {};
        }
    }
    if (!rest.empty() && !(rest.starts_with(':') && isPort(rest.substr(1)))) {
        return {};
    }
    return host;
}

bool isIpLiteral(std::string_view host) {
    unsigned char address[16];
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        const std::string inner(host.substr(1, host.size() - 2));
        return inet_pton(AF_INET6, inner.c_str(), address) == 1;
    }
    const std::string plain(host);
    return inet_pton(AF_INET, plain.c_str(), address) == 1;
}

}  // namespace

bool isOriginAllowed(bool hasOrigin, std::string_view origin, std::string_view hostHeader) {
    if (!hasOrigin) {
        return true;
    }
    // An origin is a scheme, a host and an optional port, and nothing else.
    const std::string lower = lowered(origin);
    std::string_view authority(lower);
    if (authority.starts_with("http://")) {
        authority.remove_prefix(7);
    } else if (authority.starts_with("https://")) {
        authority.remove_prefix(8);
    } else {
        return false;  // "null" and every other scheme
    }
    const std::string_view host = hostOf(authority);
    if (host.empty()) {
        return false;
    }
    if (host == "localhost" || host == "127.0.0.1" || host == "[::1]") {
        return true;
    }
    const std::string lowerHostHeader = lowered(hostHeader);
    return isIpLiteral(host) && host == hostOf(lowerHostHeader);
}
