#include "tools/client/hex_bytes.h"

#include <cstdio>

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',';
}

bool parseToken(std::string_view token, std::vector<std::uint8_t>& bytes, std::string& error) {
    const std::string quoted = "'" + std::string(token) + "'";
    std::string_view digits = token;
    if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
    }
    if (digits.empty()) {
        error = "bad hex: " + quoted + " has no digits after 0x";
        return false;
    }
    for (char c : digits) {
        if (hexDigit(c) < 0) {
            error = "bad hex: " + quoted + " is not a hex byte (write bytes as pairs of hex " +
                    "digits, such as \"05 ff 07\")";
            return false;
        }
    }
    if (digits.size() == 1) {
        bytes.push_back(static_cast<std::uint8_t>(hexDigit(digits[0])));
        return true;
    }
    if (digits.size() % 2 != 0) {
        error = "bad hex: " + quoted + " has an odd number of digits (write each byte as two " +
                "digits, such as \"05 ff 07\")";
        return false;
    }
    for (std::size_t at = 0; at < digits.size(); at += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(hexDigit(digits[at]) * 16 + hexDigit(digits[at + 1])));
    }
    return true;
}

}  // namespace

bool parseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::vector<std::uint8_t> parsed;
    std::size_t at = 0;
    while (at < text.size()) {
        if (isSeparator(text[at])) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && !isSeparator(text[end])) {
            ++end;
        }
        if (!parseToken(text.substr(at, end - at), parsed, error)) {
            return false;
        }
        at = end;
    }
    if (parsed.empty()) {
        error =
            "bad hex: no bytes given (write bytes as pairs of hex digits, such as \"05 ff 07\")";
        return false;
    }
    bytes = std::move(parsed);
    return true;
}

std::string formatHexBytes(const std::vector<std::uint8_t>& bytes, std::size_t limit) {
    std::string text;
    char part[4];
    const std::size_t shown = bytes.size() < limit ? bytes.size() : limit;
    for (std::size_t i = 0; i < shown; ++i) {
        std::snprintf(part, sizeof part, "%02X", bytes[i]);
        if (i > 0) {
            text += ' ';
        }
        text += part;
    }
    if (shown < bytes.size()) {
        text += " ... (" + std::to_string(bytes.size() - shown) + " more)";
    }
    return text;
}
