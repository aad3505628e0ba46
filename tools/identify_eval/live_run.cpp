#include "tools/identify_eval/live_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "base/whole_file.h"
#include "protocol/wire.h"
#include "tools/client/ws_client.h"

namespace identify_eval {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

std::uint16_t numberAfter(const std::string& text, const std::string& prefix) {
    const std::size_t at = text.find(prefix);
    if (at == std::string::npos) {
        return 0;
    }
    return static_cast<std::uint16_t>(std::atoi(text.c_str() + at + prefix.size()));
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') {
        return path;
    }
    char here[4096];
    return std::string(getcwd(here, sizeof here) ? here : ".") + "/" + path;
}

// A server process in a working directory, its log in server.log there.
class LiveServer {
  public:
    LiveServer(const std::string& binary, const std::string& directory, double speed,
               const std::string& mode)
        : logPath(directory + "/server.log") {
        char speedText[32];
        std::snprintf(speedText, sizeof speedText, "%g", speed);
        std::vector<std::string> arguments{
            absolute(binary), "--port", "0", "--sim-control-port", "0", "--sim-speed", speedText};
        if (!mode.empty()) {
            arguments.insert(arguments.end(), {"--identify-mode", mode});
        }
        pid = fork();
        if (pid == 0) {
            const int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || chdir(directory.c_str()) != 0) {
                _exit(127);
            }
            dup2(fd, STDOUT_FILENO);
            std::vector<char*> argv;
            for (std::string& argument : arguments) {
                argv.push_back(argument.data());
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~LiveServer() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status = 0;
            waitpid(pid, &status, 0);
        }
    }
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;

    // Connects the wire and the wearer control once the server has logged its ports.
    bool connect(std::string& error) {
        for (int i = 0; i < 200 && (port == 0 || simPort == 0); ++i) {
            std::this_thread::sleep_for(50ms);
            const std::string text = log();
            port = numberAfter(text, "uWS server listening on port ");
            simPort = numberAfter(text, "wearer control on 127.0.0.1:");
        }
        if (port == 0 || simPort == 0) {
            error = "the server did not start: " + log();
            return false;
        }
        return wire.connect("127.0.0.1", port, error) && sim.connect("127.0.0.1", simPort, error);
    }

    std::string log() const {
        std::string text;
        readWholeFile(logPath, 64u << 20, text);
        return text;
    }

    // Sends the command and waits for the first answer with `code`.
    std::optional<Bytes> ask(const Bytes& command, std::uint8_t code,
                             std::chrono::milliseconds timeout) {
        wire.sendBinary(command);
        return await(code, timeout);
    }
    std::optional<Bytes> await(std::uint8_t code, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            const auto message = wire.receive(100ms);
            if (message && !message->bytes.empty() && message->bytes[0] == code) {
                return message->bytes;
            }
        }
        return std::nullopt;
    }
    bool expect(const Bytes& command, const Bytes& answer, std::chrono::milliseconds timeout,
                std::string& error) {
        const auto got = ask(command, answer[0], timeout);
        if (got != answer) {
            char text[64];
            std::snprintf(text, sizeof text, "command %02x was not answered as expected",
                          command[0]);
            error = text;
            return false;
        }
        return true;
    }
    bool wearer(const std::string& line, std::string& error) {
        sim.sendText(line);
        const auto answer = sim.receive(5s);
        if (!answer ||
            std::string(answer->bytes.begin(), answer->bytes.end()).rfind("ok", 0) != 0) {
            error = "the wearer control refused: " + line;
            return false;
        }
        return true;
    }
    bool connectArmband(std::uint8_t gestureMask, std::string& error) {
        return expect({SCAN_DEVICE, 0x00}, {kNotifyDeviceFound, STATUS_OK}, 20s, error) &&
               expect({CONNECT_DEVICE}, {kNotifyConnected, STATUS_OK}, 20s, error) &&
               expect({SET_EMG_CONFIG, 0xFF, gestureMask}, {kNotifyRawConfig, STATUS_OK}, 20s,
                      error);
    }

  private:
    std::string logPath;
    pid_t pid = -1;
    std::uint16_t port = 0;
    std::uint16_t simPort = 0;
    WsClient wire;
    WsClient sim;
};

// Milliseconds since midnight of a log line's "(Y-M-D H:MM:SS:mmm)"; -1 when none.
long long lineTime(const std::string& line) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    if (std::sscanf(line.c_str(), "(%u-%u-%u %u:%u:%u:%u)", &year, &month, &day, &hour, &minute,
                    &second, &ms) != 7) {
        return -1;
    }
    return ((static_cast<long long>(hour) * 60 + minute) * 60 + second) * 1000 + ms;
}

// The answers of the last identification run in the log: each "gesture:N"
// after the raw stream was switched on, at its frame of the stream.
Answers answersInLog(const std::string& log, double speed, const std::vector<int>& gestures,
                     std::size_t frames) {
    Answers answers;
    const std::size_t start = log.rfind("start identify command recieved.");
    if (start == std::string::npos) {
        return answers;
    }
    long long streamStart = -1;
    std::size_t at = log.rfind('\n', start);
    at = at == std::string::npos ? 0 : at + 1;
    while (at < log.size()) {
        std::size_t end = log.find('\n', at);
        if (end == std::string::npos) {
            end = log.size();
        }
        const std::string line = log.substr(at, end - at);
        at = end + 1;
        if (streamStart < 0) {
            if (line.find("TesselHandle::setDataNotifySwitch, result(0)") != std::string::npos) {
                streamStart = lineTime(line);
            }
            continue;
        }
        const std::size_t report = line.find("]: gesture:");
        if (report == std::string::npos) {
            continue;
        }
        const int position = std::atoi(line.c_str() + report + 11);
        const double ms = static_cast<double>(lineTime(line) - streamStart);
        const auto frame = static_cast<std::size_t>(ms * speed * kFramesPerSecond / 1000.0 + 0.5);
        if (frame < frames) {
            const int gesture = position >= 1 && position <= static_cast<int>(gestures.size())
                                    ? gestures[static_cast<std::size_t>(position - 1)]
                                    : 0;
            answers.push_back({frame, gesture});
        }
    }
    return answers;
}

std::uint8_t maskOf(const std::vector<int>& gestures) {
    std::uint8_t mask = 0;
    for (const int g : gestures) {
        mask = static_cast<std::uint8_t>(mask | (1u << (g - 1)));
    }
    return mask;
}

}  // namespace

bool recordLive(const LiveRun& run, const DevPerson& person, std::string& error) {
    LiveServer server(run.server, run.directory, run.recordSpeed, "");
    if (!server.connect(error) || !server.connectArmband(0x1F, error)) {
        return false;
    }
    const auto window = std::chrono::milliseconds(static_cast<long>(30000.0 / run.recordSpeed));
    for (int g = 1; g <= kDevGestures; ++g) {
        const DevRecording& recording = person.gestures[static_cast<std::size_t>(g - 1)];
        if (!server.wearer("replay " + absolute(recording.path), error) ||
            !server.expect({START_RECORD, static_cast<std::uint8_t>(g)}, {kRecordAnswer, STATUS_OK},
                           window + 20s, error)) {
            return false;
        }
    }
    return true;
}

bool identifyLive(const LiveRun& run, const DevPerson& person, const std::vector<int>& gestures,
                  const std::string& mode, Answers& answers, std::string& error) {
    LiveServer server(run.server, run.directory, run.identifySpeed, mode);
    if (!server.connect(error) || !server.connectArmband(maskOf(gestures), error) ||
        !server.expect({GENERATE_MODEL}, {GENERATE_MODEL, STATUS_OK}, 120s, error) ||
        !server.wearer("replay " + absolute(person.stream.path), error)) {
        return false;
    }
    const std::size_t frames = person.stream.frames();
    server.ask({START_IDENTIFY}, kIdentifyAnswer, 0ms);
    const auto length = std::chrono::milliseconds(static_cast<long>(
        1000.0 * static_cast<double>(frames) / kFramesPerSecond / run.identifySpeed));
    std::this_thread::sleep_for(length + 500ms);
    server.ask({STOP_IDENTIFY}, kIdentifyAnswer, 0ms);
    if (!server.await(kIdentifyAnswer, 5s)) {
        error = "identification did not stop";
    }
    std::this_thread::sleep_for(200ms);
    answers = answersInLog(server.log(), run.identifySpeed, gestures, frames);
    if (answers.empty()) {
        error = "the server reported nothing: " + server.log().substr(0, 2000);
        return false;
    }
    return true;
}

}  // namespace identify_eval
