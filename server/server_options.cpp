#include "server/server_options.h"

#include <arpa/inet.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "server/device/recording_timer.h"
#include "server/net/access_policy.h"

namespace {

constexpr double kFastestSpeed = 1000.0;

bool parsePort(const std::string& text, std::uint16_t& port) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || at != end || text.empty() || value > 65535) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool isAddressLiteral(const std::string& text) {
    unsigned char address[16];
    return inet_pton(AF_INET, text.c_str(), address) == 1 ||
           inet_pton(AF_INET6, text.c_str(), address) == 1;
}

bool parseSpeed(const std::string& text, double& speed) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || at != end || text.empty() || !std::isfinite(value) || value < 1.0 ||
        value > kFastestSpeed) {
        return false;
    }
    speed = value;
    return true;
}

}  // namespace

OptionsOutcome parseServerOptions(const std::vector<std::string>& arguments, ServerOptions& options,
                                  std::string& error) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::string value;
        bool hasValue = false;
        if (const std::size_t equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            return OptionsOutcome::Help;
        }
        const bool takesValue = name == "--port" || name == "--sim-control-port" ||
                                name == "--sim-speed" || name == "--identify-mode" ||
                                name == "--data-dir" || name == "--listen" ||
                                name == "--allow-origin" || name == "--allow-host";
        if (!takesValue) {
            error = "unknown option \"" + arguments[i] + "\"";
            return OptionsOutcome::Invalid;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                error = name + " needs a value";
                return OptionsOutcome::Invalid;
            }
            value = arguments[++i];
        }
        if (name == "--port") {
            if (!parsePort(value, options.port)) {
                error = "--port takes a port number from 0 to 65535, not \"" + value + "\"";
                return OptionsOutcome::Invalid;
            }
            options.portGiven = true;
        } else if (name == "--sim-control-port") {
            if (!parsePort(value, options.simControlPort)) {
                error =
                    "--sim-control-port takes a port number from 0 to 65535, not \"" + value + "\"";
                return OptionsOutcome::Invalid;
            }
            options.simControlPortGiven = true;
        } else if (name == "--data-dir") {
            if (value.empty()) {
                error = "--data-dir takes a directory";
                return OptionsOutcome::Invalid;
            }
            options.dataDir = value;
        } else if (name == "--listen") {
            if (!isAddressLiteral(value)) {
                error = "--listen takes an IPv4 or IPv6 address (0.0.0.0 or :: for all), not \"" +
                        value + "\"";
                return OptionsOutcome::Invalid;
            }
            options.listenAddress = value;
        } else if (name == "--allow-origin") {
            const std::string origin = normalisedOrigin(value);
            if (origin.empty()) {
                error = "--allow-origin takes an origin such as http://localhost:5173, not \"" +
                        value + "\"";
                return OptionsOutcome::Invalid;
            }
            options.allowedOrigins.push_back(origin);
        } else if (name == "--allow-host") {
            if (!isAcceptableHostName(value)) {
                error = "--allow-host takes a host name such as mypc.local, not \"" + value + "\"";
                return OptionsOutcome::Invalid;
            }
            std::string host = value;
            for (char& c : host) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            options.allowedHosts.push_back(host);
        } else if (name == "--identify-mode") {
            const std::optional<IdentifyMode> mode = identifyModeNamed(value);
            if (!mode) {
                error = "--identify-mode takes exact or calibrated, not \"" + value + "\"";
                return OptionsOutcome::Invalid;
            }
            options.identifyMode = *mode;
            options.identifyModeGiven = true;
        } else if (!parseSpeed(value, options.simSpeed)) {
            error = "--sim-speed takes a number from 1 to 1000, not \"" + value + "\"";
            return OptionsOutcome::Invalid;
        }
    }
    return OptionsOutcome::Run;
}

std::string serverUsage() {
    return "Usage: quillon-server [options]\n"
           "Trains and recognises hand gestures with the EMG armband; clients connect\n"
           "over a WebSocket. Files are read and written in the working directory, or in\n"
           "the directory that --data-dir names.\n"
           "\n"
           "Options:\n"
           "  --port N              WebSocket and HTTP port (default 8888); 0 picks a free\n"
           "                        port and logs it\n"
           "  --listen ADDRESS      listen on ADDRESS as well as on loopback (0.0.0.0 or ::\n"
           "                        for every address), for a phone or another computer;\n"
           "                        they then need the token of the address it prints\n"
           "  --allow-origin ORIGIN trust pages of ORIGIN (http://host:port) besides the\n"
           "                        server's own; may be repeated\n"
           "  --allow-host NAME     answer requests addressed to NAME (the machine's name on\n"
           "                        the network, say); may be repeated\n"
           "  --sim-control-port N  port of the simulated armband's wearer control on\n"
           "                        127.0.0.1 (default 8889); 0 picks a free port and logs it\n"
           "  --sim-speed X         the simulated armband streams X times faster and answers\n"
           "                        X times sooner, and the recording window shrinks alike,\n"
           "                        so a window still holds 30 s of EMG (default 1, at most\n"
           "                        1000)\n"
           "  --identify-mode M     how live identification decides: exact (the default)\n"
           "                        or calibrated (rest and gestures learnt from the\n"
           "                        wearer's own recordings, reports that hold); without\n"
           "                        it, the mode last chosen through the API (settings.json)\n"
           "  --data-dir DIR        keep the recordings, the model and the other files in\n"
           "                        DIR (made if missing) instead of the working directory\n"
           "  --help                print this text and exit\n";
}

std::int64_t recordingWindowMsAt(double simSpeed) {
    return std::llround(static_cast<double>(RECORD_WINDOW_MS) / simSpeed);
}
