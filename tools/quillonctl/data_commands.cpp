// The subcommands about the server's data: recordings, evaluate, export,
// delete and names. They use the server's HTTP API on its port.
#include <nlohmann/json.hpp>

#include <cstdio>

#include "server/device/gesture_names.h"
#include "tools/client/http_client.h"
#include "tools/quillonctl/command_support.h"
#include "tools/quillonctl/commands.h"
#include "tools/quillonctl/protocol_steps.h"

namespace {

using nlohmann::json;

// The reply's JSON document, or an exit status after saying what went wrong.
std::optional<json> callServer(const Invocation& invocation, const HttpCall& call, int& status) {
    HttpReply reply;
    std::string error;
    if (!serverHttpCall(invocation, call, reply, error)) {
        status = fail(error);
        return std::nullopt;
    }
    json document = json::parse(reply.body, nullptr, false);
    if (reply.status != 200) {
        const bool worded =
            document.is_object() && document.contains("error") && document["error"].is_string();
        status = fail("the server answered " + std::to_string(reply.status) +
                      (worded ? ": " + document["error"].get<std::string>() : std::string()));
        return std::nullopt;
    }
    if (document.is_discarded() || !document.is_object()) {
        status = fail("the server's answer is not the JSON expected");
        return std::nullopt;
    }
    return document;
}

std::string text(const json& value, const std::string& absent = "-") {
    if (value.is_string()) {
        const std::string s = value.get<std::string>();
        return s.empty() ? absent : s;
    }
    if (value.is_number_integer()) {
        return std::to_string(value.get<long long>());
    }
    return absent;
}

std::string format(const char* pattern, double value) {
    char out[64];
    std::snprintf(out, sizeof out, pattern, value);
    return out;
}

std::string percent(const json& value) {
    return value.is_number() ? format("%.1f %%", 100.0 * value.get<double>()) : "-";
}

std::string padLeft(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string padRight(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string activityWords(const json& value) {
    const std::string kind = value.is_string() ? value.get<std::string>() : "";
    if (kind == "clear") {
        return "holds and rests";
    }
    if (kind == "noActivity") {
        return "no activity found";
    }
    if (kind == "noRest") {
        return "no rest found";
    }
    if (kind == "tooShort") {
        return "too short";
    }
    return "-";
}

std::string gestureWords(int gesture, const std::string& name) {
    return std::to_string(gesture) + (name.empty() ? "" : " (" + name + ")");
}

const json& field(const json& object, const char* name) {
    static const json none;
    const auto found = object.find(name);
    return found == object.end() ? none : *found;
}

}  // namespace

int runRecordings(const Invocation& invocation) {
    int status = kExitOk;
    const auto document = callServer(invocation, {"GET", "/api/recordings", "", false}, status);
    if (!document) {
        return status;
    }
    const json& recordings = field(*document, "recordings");
    if (!recordings.is_array() || recordings.empty()) {
        say("the server holds no recordings");
        return kExitOk;
    }
    say("gesture       name             seconds  windows  active  activity");
    std::vector<std::string> notes;
    for (const json& entry : recordings) {
        const int gesture =
            field(entry, "gesture").is_number_integer() ? field(entry, "gesture").get<int>() : 0;
        const json& seconds = field(entry, "seconds");
        const std::string selected = field(entry, "selected") == true ? " " : "*";
        say(padLeft(std::to_string(gesture), 4) + selected + "        " +
            padRight(text(field(entry, "name")), 16) + " " +
            padLeft(field(entry, "channels") != 0 && seconds.is_number()
                        ? format("%.1f", seconds.get<double>())
                        : "?",
                    7) +
            "  " + padLeft(text(field(entry, "windows"), "?"), 7) + "  " +
            padLeft(text(field(entry, "activeWindows"), "?"), 6) + "  " +
            activityWords(field(entry, "activity")));
        for (const json& note : field(entry, "notes")) {
            notes.push_back("raw" + std::to_string(gesture) + ".bin: " + text(note));
        }
    }
    bool unselected = false;
    for (const json& entry : recordings) {
        unselected = unselected || field(entry, "selected") != true;
    }
    if (unselected) {
        say("* not among the configured gestures");
    }
    for (const std::string& note : notes) {
        say(note);
    }
    return kExitOk;
}

int runEvaluate(const Invocation& invocation) {
    int status = kExitOk;
    const auto document = callServer(invocation, {"GET", "/api/evaluation", "", false}, status);
    if (!document) {
        return status;
    }
    const json& gestures = field(*document, "gestures");
    std::vector<int> numbers;
    std::string list;
    for (const json& g : gestures) {
        const int number =
            field(g, "gesture").is_number_integer() ? field(g, "gesture").get<int>() : 0;
        numbers.push_back(number);
        const std::string name =
            field(g, "name").is_string() ? field(g, "name").get<std::string>() : "";
        list += (list.empty() ? "" : ", ") + gestureWords(number, name);
    }
    const bool evaluated = field(*document, "evaluated") == true;
    if (!evaluated) {
        say("not evaluated: " + text(field(*document, "problem")));
    } else {
        say("gestures " + list + " on " + text(field(*document, "channels")) +
            " channels; 5-fold cross-validation over stretches of each recording; live "
            "identification in " +
            text(field(*document, "identifyMode")) + " mode");
        say("");
        say("held-out decisions by what the wearer did (rows) and what was reported (columns):");
        const json& classes = field(*document, "classes");
        std::vector<std::string> labels;
        for (const json& c : classes) {
            const int number =
                field(c, "gesture").is_number_integer() ? field(c, "gesture").get<int>() : 0;
            labels.push_back(number == 0 ? "rest" : std::to_string(number));
        }
        std::string header = "         ";
        for (const std::string& label : labels) {
            header += padLeft(label, 9);
        }
        say(header + "     recall");
        const json& confusion = field(*document, "confusion");
        for (std::size_t r = 0; r < labels.size() && r < confusion.size(); ++r) {
            std::string line = padLeft(labels[r], 6) + "   ";
            for (const json& count : confusion[r]) {
                line += padLeft(text(count, "0"), 9);
            }
            say(line + padLeft(percent(field(classes[r], "recall")), 11));
        }
        std::string precision = "precision";
        for (const json& c : classes) {
            precision += padLeft(percent(field(c, "precision")), 9);
        }
        say(precision);
        say("");
        say("accuracy: " + percent(field(*document, "accuracy")) + " of " +
            text(field(*document, "windowsTested")) + " held-out decisions");
        const json& online = field(*document, "online");
        const json& rate = field(online, "instability");
        say("live identification of the held-out stretches: active error rate " +
            percent(field(online, "activeErrorRate")) + " (" + text(field(online, "errors"), "0") +
            " of " + text(field(online, "holdDecisions"), "0") + " decisions during holds, " +
            text(field(online, "missed"), "0") + " of them no gesture), instability " +
            (rate.is_number() ? format("%.2f", rate.get<double>()) : std::string("-")) +
            " changes per second of holding");
        for (const json& g : gestures) {
            const json& own = field(g, "online");
            say("  gesture " +
                gestureWords(
                    field(g, "gesture").is_number_integer() ? field(g, "gesture").get<int>() : 0,
                    field(g, "name").is_string() ? field(g, "name").get<std::string>() : "") +
                ": " + text(field(g, "activeWindows")) + " active windows, active error rate " +
                percent(field(own, "activeErrorRate")));
        }
    }
    const json& warnings = field(*document, "warnings");
    if (warnings.is_array() && !warnings.empty()) {
        say("");
        say("warnings:");
        for (const json& warning : warnings) {
            say("  - " + text(field(warning, "text")));
        }
    }
    return evaluated ? kExitOk : kExitFailed;
}

int runExport(const Invocation& invocation) {
    const std::string target =
        "/api/recordings/" + std::to_string(invocation.gesture) + "." + invocation.exportFormat;
    HttpReply reply;
    std::string error;
    if (!serverHttpCall(invocation, {"GET", target, "", false}, reply, error)) {
        return fail(error);
    }
    if (reply.status != 200) {
        const json document = json::parse(reply.body, nullptr, false);
        const bool worded =
            document.is_object() && document.contains("error") && document["error"].is_string();
        return fail("the server answered " + std::to_string(reply.status) +
                    (worded ? ": " + document["error"].get<std::string>() : std::string()));
    }
    std::FILE* file = std::fopen(invocation.exportPath.c_str(), "wb");
    if (file == nullptr) {
        return fail("cannot write " + invocation.exportPath);
    }
    const bool written =
        std::fwrite(reply.body.data(), 1, reply.body.size(), file) == reply.body.size();
    if (std::fclose(file) != 0 || !written) {
        return fail("cannot write " + invocation.exportPath);
    }
    say("raw" + std::to_string(invocation.gesture) + ".bin saved as " + invocation.exportPath +
        " (" + (invocation.exportFormat == "csv" ? "CSV" : "EDF+") + ", " +
        std::to_string(reply.body.size()) + " bytes)");
    return kExitOk;
}

int runDelete(const Invocation& invocation) {
    int status = kExitOk;
    const auto document = callServer(
        invocation, {"DELETE", "/api/recordings/" + std::to_string(invocation.gesture), "", true},
        status);
    if (!document) {
        return status;
    }
    say("raw" + std::to_string(invocation.gesture) + ".bin deleted");
    return kExitOk;
}

int runNames(const Invocation& invocation) {
    int status = kExitOk;
    std::optional<json> document;
    if (invocation.names) {
        json body;
        body["names"] = *invocation.names;
        document = callServer(invocation,
                              {"PUT", "/api/gestures",
                               body.dump(-1, ' ', false, json::error_handler_t::replace), true},
                              status);
    } else {
        document = callServer(invocation, {"GET", "/api/gestures", "", false}, status);
    }
    if (!document) {
        return status;
    }
    const json& names = field(*document, "names");
    for (std::size_t i = 0; i < names.size(); ++i) {
        say("gesture " + std::to_string(i + 1) + ": " + text(names[i], "(no name)"));
    }
    return kExitOk;
}

int nameGestures(Session& session, const std::vector<std::uint8_t>& gestures) {
    int status = kExitOk;
    std::optional<json> document =
        callServer(session.invocation, {"GET", "/api/gestures", "", false}, status);
    if (!document) {
        return status;
    }
    json names = field(*document, "names");
    if (!names.is_array()) {
        return fail("the server's gesture names are not the JSON expected");
    }
    for (std::uint8_t gesture : gestures) {
        if (gesture >= 1 && gesture <= names.size()) {
            names[gesture - 1] = gestureName(gesture);
        }
    }
    json body;
    body["names"] = names;
    document = callServer(session.invocation, {"PUT", "/api/gestures", body.dump(), true}, status);
    return document ? kExitOk : status;
}
