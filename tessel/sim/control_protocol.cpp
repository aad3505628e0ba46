#include "control_protocol.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "armband.h"
#include "letter_case.h"

namespace tessel::sim {
namespace {

constexpr const char* kOperationNames[kOperationCount] = {
    "connect",
    "startScan",
    "setDataNotifySwitch",
    "setEmgRawDataConfig",
    "trainModelUpdate",
    "queryHardwareVersion",
    "queryFirmwareVersion",
};

constexpr const char* kHelp =
    "ok perform G | hold G | rest | status | drop | absent | present | fail OP [N] | "
    "mute OP [N] | nosetting | setting | hubstate N | devicestatus N | replay [PATH] | seed N | "
    "profile NAME [DAY] | reset; G is 0..15, OP is connect, startScan, setDataNotifySwitch, "
    "setEmgRawDataConfig, trainModelUpdate, queryHardwareVersion or queryFirmwareVersion; NAME "
    "is a kind of wearer: ";

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Splits off the first word; `rest` keeps what follows, trimmed.
std::string_view firstWord(std::string_view text, std::string_view& rest) {
    std::size_t end = 0;
    while (end < text.size() && !isSpace(text[end])) {
        ++end;
    }
    rest = trim(text.substr(end));
    return text.substr(0, end);
}

// The whole text must be one decimal number within [low, high].
template <typename Number>
bool parseNumber(std::string_view text, Number low, Number high, Number& out) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, value);
    if (text.empty() || problem != std::errc() || stop != end || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string gestureCommand(Armband& armband, WearerAction::Kind kind, std::string_view word,
                           std::string_view argument) {
    int gesture = 0;
    if (!parseNumber(argument, 0, kGestures - 1, gesture)) {
        return "error: " + std::string(word) + " takes one gesture number, 0 to 15";
    }
    armband.setAction(WearerAction{kind, static_cast<std::uint8_t>(gesture)});
    return "ok";
}

std::string faultCommand(Armband& armband, bool muteIt, std::string_view arguments) {
    std::string_view countText;
    const std::string_view name = firstWord(arguments, countText);
    const std::optional<Operation> operation = operationNamed(name);
    if (!operation) {
        return "error: unknown operation '" + std::string(name) +
               "': connect, startScan, setDataNotifySwitch, setEmgRawDataConfig, "
               "trainModelUpdate, queryHardwareVersion or queryFirmwareVersion";
    }
    std::uint32_t count = 1;
    if (!countText.empty() && !parseNumber<std::uint32_t>(countText, 0, 1000000, count)) {
        return "error: the count must be a number from 0 to 1000000";
    }
    armband.addFault(*operation, muteIt, count);
    return "ok";
}

std::string profileCommand(Armband& armband, std::string_view arguments) {
    std::string_view dayText;
    const std::string_view name = firstWord(arguments, dayText);
    const WearerProfile* kind = wearerProfileNamed(name);
    if (kind == nullptr) {
        return "error: profile takes a kind of wearer (" + wearerProfileList() +
               ") and an optional day";
    }
    std::uint32_t day = 1;
    if (!dayText.empty() && !parseNumber<std::uint32_t>(dayText, 0, 1000000, day)) {
        return "error: the day must be a number from 0 to 1000000";
    }
    armband.setProfile(*kind, day);
    return "ok";
}

std::string withoutArguments(std::string_view word, std::string_view arguments,
                             std::string answer) {
    if (!arguments.empty()) {
        return "error: " + std::string(word) + " takes no arguments";
    }
    return answer;
}

}  // namespace

const char* operationName(Operation operation) {
    const auto index = static_cast<std::size_t>(operation);
    return index < kOperationCount ? kOperationNames[index] : "unknown";
}

std::optional<Operation> operationNamed(std::string_view name) {
    for (std::size_t i = 0; i < kOperationCount; ++i) {
        if (equalsIgnoringCase(name, kOperationNames[i])) {
            return static_cast<Operation>(i);
        }
    }
    return std::nullopt;
}

std::string statusJson(const Status& status) {
    std::string json = "{\"present\":";
    json += status.present ? "true" : "false";
    json += ",\"connectionState\":" + std::to_string(static_cast<int>(status.connection));
    json += ",\"scanning\":";
    json += status.scanning ? "true" : "false";
    json += ",\"streams\":" + std::to_string(status.streams);
    json += ",\"channelMask\":" + std::to_string(status.channelMask);
    json += ",\"action\":" + jsonString(status.action);
    json +=
        ",\"replay\":" + (status.replay.empty() ? std::string("null") : jsonString(status.replay));
    json += ",\"modelSize\":" + std::to_string(status.modelSize);
    json += ",\"setting\":";
    json += status.settingAvailable ? "true" : "false";
    json += ",\"seed\":" + std::to_string(status.seed);
    json += ",\"droppedPackets\":" + std::to_string(status.droppedPackets);
    json += ",\"profile\":" + jsonString(status.profile);
    json += ",\"day\":" + std::to_string(status.day);
    return json + "}";
}

std::string runControlCommand(Armband& armband, std::string_view line) {
    std::string_view arguments;
    const std::string_view word = firstWord(trim(line), arguments);
    const auto is = [word](std::string_view name) { return equalsIgnoringCase(word, name); };

    if (word.empty()) {
        return "error: empty command (try help)";
    }
    if (is("perform")) {
        return gestureCommand(armband, WearerAction::Perform, word, arguments);
    }
    if (is("hold")) {
        return gestureCommand(armband, WearerAction::Hold, word, arguments);
    }
    if (is("fail") || is("mute")) {
        return faultCommand(armband, is("mute"), arguments);
    }
    if (is("hubstate")) {
        std::int32_t state = 0;
        if (!parseNumber(arguments, std::numeric_limits<std::int32_t>::min(),
                         std::numeric_limits<std::int32_t>::max(), state)) {
            return "error: hubstate takes one whole number";
        }
        return armband.postHubState(state) ? "ok" : "error: the hub is not initialised";
    }
    if (is("devicestatus")) {
        int deviceStatus = 0;
        if (!parseNumber(arguments, 0, 255, deviceStatus)) {
            return "error: devicestatus takes one number, 0 to 255";
        }
        return armband.postDeviceStatus(static_cast<std::uint8_t>(deviceStatus))
                   ? "ok"
                   : "error: the armband is not connected";
    }
    if (is("replay")) {
        if (arguments.empty()) {
            armband.stopReplay();
            return "ok";
        }
        std::string error;
        return armband.startReplay(std::string(arguments), error) ? "ok" : "error: " + error;
    }
    if (is("seed")) {
        std::uint32_t seed = 0;
        if (!parseNumber<std::uint32_t>(arguments, 0, std::numeric_limits<std::uint32_t>::max(),
                                        seed)) {
            return "error: seed takes one number, 0 to 4294967295";
        }
        armband.reseed(seed);
        return "ok";
    }
    if (is("profile")) {
        return profileCommand(armband, arguments);
    }
    if (is("status")) {
        return withoutArguments(word, arguments, "ok " + statusJson(armband.status()));
    }
    if (!arguments.empty() && (is("rest") || is("drop") || is("absent") || is("present") ||
                               is("nosetting") || is("setting") || is("reset") || is("help"))) {
        return "error: " + std::string(word) + " takes no arguments";
    }
    if (is("rest")) {
        armband.setAction(WearerAction{});
    } else if (is("drop")) {
        armband.drop();
    } else if (is("absent") || is("present")) {
        armband.setPresent(is("present"));
    } else if (is("nosetting") || is("setting")) {
        armband.setSettingAvailable(is("setting"));
    } else if (is("reset")) {
        armband.reset();
    } else if (is("help")) {
        return kHelp + wearerProfileList();
    } else {
        return "error: unknown command '" + std::string(word) + "' (try help)";
    }
    return "ok";
}

}  // namespace tessel::sim
