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

// Host part of "host", "host:port", "[v6]" or "[v6]:port"; empty when malformed.
std::string_view hostOf(std::string_view authority) {
    if (authority.starts_with('[')) {
        const auto close = authority.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) {
            return {};
        }
        return authority.substr(0, close + 1);
    }
    const auto colon = authority.find(':');
    return colon == std::string_view::npos ? authority : authority.substr(0, colon);
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
    const std::string lower = lowered(origin);
    std::string_view rest(lower);
    const auto scheme = rest.find("://");
    if (scheme == std::string_view::npos) {
        return false;  // "null" and anything without a scheme
    }
    rest.remove_prefix(scheme + 3);
    const auto slash = rest.find('/');
    if (slash != std::string_view::npos) {
        rest = rest.substr(0, slash);
    }
    if (rest.find('@') != std::string_view::npos) {
        return false;
    }
    const std::string_view host = hostOf(rest);
    if (host.empty()) {
        return false;
    }
    if (host == "localhost" || host == "127.0.0.1" || host == "[::1]") {
        return true;
    }
    const std::string lowerHostHeader = lowered(hostHeader);
    return isIpLiteral(host) && host == hostOf(lowerHostHeader);
}
