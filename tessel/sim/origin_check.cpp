#include <cctype>

#include "control_server.h"

namespace tessel::sim {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace

bool isLocalOrigin(std::string_view origin) {
    // An Origin is scheme "://" host [":" port], and nothing more.
    const std::string text = lower(origin);
    std::string_view rest = text;
    if (startsWith(rest, "http://")) {
        rest.remove_prefix(7);
    } else if (startsWith(rest, "https://")) {
        rest.remove_prefix(8);
    } else {
        return false;
    }
    std::string_view host;
    if (startsWith(rest, "[")) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        host = rest.substr(0, close + 1);
        rest.remove_prefix(close + 1);
    } else {
        const std::size_t end = rest.find(':');
        host = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    if (!rest.empty()) {
        if (rest.front() != ':' || rest.size() == 1 || rest.size() > 6) {
            return false;
        }
        for (const char c : rest.substr(1)) {
            if (!std::isdigit(static_cast<unsigned char>(c))) {
                return false;
            }
        }
    }
    return host == "localhost" || host == "127.0.0.1" || host == "[::1]";
}

}  // namespace tessel::sim
