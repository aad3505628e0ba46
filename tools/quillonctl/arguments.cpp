#include "tools/quillonctl/arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "tools/client/hex_bytes.h"
#include "tools/quillonctl/command_table.h"

namespace {

constexpr float kLongestTimeoutSeconds = 86400.0f;
constexpr int kHighestGesture = 8;

// Whole non-negative number in `base`, no sign, no spaces; false past `limit`.
bool parseUnsigned(std::string_view digits, int base, unsigned long limit, unsigned long& value) {
    if (digits.empty()) {
        return false;
    }
    unsigned long result = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0 || digit >= base) {
            return false;
        }
        result = result * static_cast<unsigned long>(base) + static_cast<unsigned long>(digit);
        if (result > limit) {
            return false;
        }
    }
    value = result;
    return true;
}

bool isHexPrefixed(std::string_view text) {
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Splits "--name=value" into name and value; `hasValue` tells whether "=" was there.
std::string_view optionName(std::string_view argument, std::string_view& value, bool& hasValue) {
    const std::size_t equals = argument.find('=');
    hasValue = equals != std::string_view::npos;
    value = hasValue ? argument.substr(equals + 1) : std::string_view{};
    return hasValue ? argument.substr(0, equals) : argument;
}

bool isGlobalOption(std::string_view name) {
    return name == "--host" || name == "--port" || name == "--sim-port" || name == "--sim-speed" ||
           name == "--timeout";
}

// Options that belong to one command and may stand anywhere too.
constexpr std::string_view kGesturesOption = "--gestures";
constexpr std::string_view kModeOption = "--mode";
constexpr std::string_view kCsvOption = "--csv";
constexpr std::string_view kEdfOption = "--edf";

bool applyGlobalOption(std::string_view name, std::string_view value, Invocation& invocation,
                       std::string& error) {
    if (name == "--host") {
        if (value.empty()) {
            error = "--host needs a host name or address";
            return false;
        }
        invocation.host = std::string(value);
        return true;
    }
    if (name == "--port") {
        return parsePort(value, "--port", invocation.port, error);
    }
    if (name == "--sim-port") {
        return parsePort(value, "--sim-port", invocation.simPort, error);
    }
    if (name == "--sim-speed") {
        return parseSpeed(value, invocation.simSpeed, error);
    }
    std::chrono::milliseconds timeout{};
    if (!parseSeconds(value, timeout, error)) {
        return false;
    }
    invocation.timeout = timeout;
    return true;
}

bool parseCommandArguments(const std::vector<std::string>& words, Invocation& invocation,
                           std::string& error) {
    const CommandSpec& command = *invocation.command;
    switch (command.id) {
        case CommandId::Help:
            if (!words.empty()) {
                invocation.helpTopic = findCommand(words[0]);
                if (invocation.helpTopic == nullptr) {
                    error = "there is no command '" + words[0] + "' (see quillonctl --help)";
                    return false;
                }
            }
            return true;
        case CommandId::Config:
            return parseMask(words[0], "the channel mask", invocation.channelMask, error) &&
                   parseMask(words[1], "the gesture mask", invocation.gestureMask, error);
        case CommandId::Record:
        case CommandId::Delete:
            return parseGestureNumber(words[0], invocation.gesture, error);
        case CommandId::Export:
            if (invocation.exportPath.empty()) {
                error = "say where the recording goes: --csv FILE or --edf FILE";
                return false;
            }
            return parseGestureNumber(words[0], invocation.gesture, error);
        case CommandId::Names: {
            if (words.empty()) {
                return true;
            }
            std::string text;
            for (const std::string& word : words) {
                text += (text.empty() ? "" : " ") + word;
            }
            std::vector<std::string> list;
            if (!parseGestureNames(text, list, error)) {
                return false;
            }
            invocation.names = std::move(list);
            return true;
        }
        case CommandId::Send: {
            std::string text;
            for (const std::string& word : words) {
                text += word + " ";
            }
            return parseHexBytes(text, invocation.frame, error);
        }
        case CommandId::Sim:
            for (const std::string& word : words) {
                if (!invocation.simCommand.empty()) {
                    invocation.simCommand += ' ';
                }
                invocation.simCommand += word;
            }
            return true;
        default:
            return true;
    }
}

}  // namespace

std::chrono::milliseconds Invocation::waitLimit() const {
    if (timeout) {
        return *timeout;
    }
    return command != nullptr ? command->timeout : std::chrono::seconds(10);
}

bool parseMask(std::string_view text, std::string_view what, std::uint8_t& mask,
               std::string& error) {
    unsigned long value = 0;
    const bool hex = isHexPrefixed(text);
    const bool read =
        hex ? parseUnsigned(text.substr(2), 16, 255, value) : parseUnsigned(text, 10, 255, value);
    if (!read) {
        error = std::string(what) + " '" + std::string(text) +
                "' is not a number from 1 to 255 (write it in decimal, such as 7, or in hex " +
                "with 0x, such as 0x07)";
        return false;
    }
    if (value == 0) {
        error = std::string(what) + " is 0: choose at least one bit";
        return false;
    }
    mask = static_cast<std::uint8_t>(value);
    return true;
}

bool parseGestureNumber(std::string_view text, std::uint8_t& gesture, std::string& error) {
    unsigned long value = 0;
    if (!parseUnsigned(text, 10, 255, value) || value < 1 || value > kHighestGesture) {
        error = "the gesture '" + std::string(text) + "' is out of range: gestures are 1 to 8";
        return false;
    }
    gesture = static_cast<std::uint8_t>(value);
    return true;
}

bool parseGestureList(std::string_view text, std::vector<std::uint8_t>& gestures,
                      std::string& error) {
    const std::string explanation = "--gestures '" + std::string(text) +
                                    "' is not a list of two to eight different gestures 1 to 8 "
                                    "separated by commas, such as 1,2,3";
    std::vector<std::uint8_t> list;
    std::string_view rest = text;
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        unsigned long value = 0;
        if (!parseUnsigned(item, 10, 255, value) || value < 1 || value > kHighestGesture ||
            list.size() >= static_cast<std::size_t>(kHighestGesture)) {
            error = explanation;
            return false;
        }
        for (std::uint8_t earlier : list) {
            if (earlier == value) {
                error = explanation + " (" + std::to_string(value) + " comes twice)";
                return false;
            }
        }
        list.push_back(static_cast<std::uint8_t>(value));
        if (comma == std::string_view::npos) {
            break;
        }
        rest = rest.substr(comma + 1);
    }
    if (list.size() < 2) {
        error = explanation;
        return false;
    }
    gestures = std::move(list);
    return true;
}

bool parseGestureNames(std::string_view text, std::vector<std::string>& names, std::string& error) {
    std::vector<std::string> list;
    std::string_view rest = text;
    for (;;) {
        const std::size_t comma = rest.find(',');
        std::string_view name = rest.substr(0, comma);
        while (!name.empty() && name.front() == ' ') {
            name.remove_prefix(1);
        }
        while (!name.empty() && name.back() == ' ') {
            name.remove_suffix(1);
        }
        list.emplace_back(name);
        if (comma == std::string_view::npos) {
            break;
        }
        rest = rest.substr(comma + 1);
    }
    if (list.size() > static_cast<std::size_t>(kHighestGesture)) {
        error = "at most 8 names, for gestures 1 to 8, separated by commas";
        return false;
    }
    names = std::move(list);
    return true;
}

bool parseSpeed(std::string_view text, double& speed, std::string& error) {
    std::chrono::milliseconds thousandths{};
    std::string ignored;
    // A speed reads like a time in seconds: a number with an optional fraction.
    if (!parseSeconds(text, thousandths, ignored) || thousandths.count() < 1000 ||
        thousandths.count() > 1000000) {
        error = "--sim-speed '" + std::string(text) + "' is not a number from 1 to 1000";
        return false;
    }
    speed = static_cast<double>(thousandths.count()) / 1000.0;
    return true;
}

bool parsePort(std::string_view text, std::string_view what, std::uint16_t& port,
               std::string& error) {
    unsigned long value = 0;
    if (!parseUnsigned(text, 10, 65535, value) || value == 0) {
        error = std::string(what) + " '" + std::string(text) + "' is not a port from 1 to 65535";
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool parseSeconds(std::string_view text, std::chrono::milliseconds& timeout, std::string& error) {
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const float seconds = copy.empty() ? 0.0f : std::strtof(copy.c_str(), &end);
    const bool whole = !copy.empty() && end != nullptr && *end == '\0' && errno == 0;
    if (!whole || !std::isfinite(seconds) || seconds <= 0.0f || seconds > kLongestTimeoutSeconds) {
        error = "--timeout '" + copy + "' is not a number of seconds above 0 and at most 86400";
        return false;
    }
    const long milliseconds = std::lround(seconds * 1000.0f);
    timeout = std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 1);
    return true;
}

bool parseArguments(const std::vector<std::string>& arguments, Invocation& invocation,
                    std::string& error) {
    std::vector<std::string> words;
    bool wantsHelp = false;
    bool gesturesGiven = false;
    bool modeGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool simWords =
            invocation.command != nullptr && invocation.command->id == CommandId::Sim;
        const bool helpOption = argument == "--help" || argument == "-h";
        if (helpOption && !(simWords && !words.empty())) {
            wantsHelp = true;
            continue;
        }
        // Only "--name" is an option: "-1" is a (wrong) number, "-x" (wrong) hex.
        if (simWords || argument.rfind("--", 0) != 0) {
            if (invocation.command == nullptr) {
                invocation.command = findCommand(argument);
                if (invocation.command == nullptr) {
                    error = "there is no command '" + argument + "' (see quillonctl --help)";
                    return false;
                }
            } else {
                words.push_back(argument);
            }
            continue;
        }
        std::string_view value;
        bool hasValue = false;
        const std::string_view name = optionName(argument, value, hasValue);
        const bool exportOption = name == kCsvOption || name == kEdfOption;
        if (!isGlobalOption(name) && name != kGesturesOption && name != kModeOption &&
            !exportOption) {
            error = "unknown option '" + argument + "' (see quillonctl --help)";
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                error = std::string(name) + " needs a value";
                return false;
            }
            value = arguments[++i];
        }
        if (name == kModeOption) {
            if (value != "exact" && value != "calibrated") {
                error = "--mode '" + std::string(value) + "' is not exact or calibrated";
                return false;
            }
            invocation.identifyMode = std::string(value);
            modeGiven = true;
            continue;
        }
        if (name == kGesturesOption) {
            if (!parseGestureList(value, invocation.gestures, error)) {
                return false;
            }
            gesturesGiven = true;
            continue;
        }
        if (exportOption) {
            if (!invocation.exportPath.empty() || value.empty()) {
                error = "give one of --csv FILE and --edf FILE";
                return false;
            }
            invocation.exportFormat = name == kCsvOption ? "csv" : "edf";
            invocation.exportPath = std::string(value);
            continue;
        }
        if (!applyGlobalOption(name, value, invocation, error)) {
            return false;
        }
    }
    if (wantsHelp) {
        invocation.helpTopic = invocation.command;
        invocation.command = findCommand("help");
        return true;
    }
    if (invocation.command == nullptr) {
        error = "no command given (see quillonctl --help)";
        return false;
    }
    const CommandSpec& command = *invocation.command;
    if (gesturesGiven && command.id != CommandId::Demo) {
        error = "--gestures belongs to `quillonctl demo` only";
        return false;
    }
    if (modeGiven && command.id != CommandId::Demo && command.id != CommandId::Identify) {
        error = "--mode belongs to `quillonctl identify` and `quillonctl demo` only";
        return false;
    }
    if (!invocation.exportPath.empty() && command.id != CommandId::Export) {
        error = "--csv and --edf belong to `quillonctl export` only";
        return false;
    }
    const int count = static_cast<int>(words.size());
    if (count < command.leastArguments ||
        (command.mostArguments >= 0 && count > command.mostArguments)) {
        error = std::string("usage: quillonctl ") + command.name +
                (command.arguments[0] != '\0' ? std::string(" ") + command.arguments : "") +
                " (see quillonctl help " + command.name + ")";
        return false;
    }
    return parseCommandArguments(words, invocation, error);
}
