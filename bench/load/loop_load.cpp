// How long another client waits for a PING answer while the server is busy,
// and how long SIGTERM takes to end it, at real speed with the armband
// connected. Each load runs against a fresh server in a directory of its own:
//   version   2000 version requests (30) sent at once by one client
//   train     GENERATE_MODEL on 8 gestures x 86 recording windows
//   inventory 40 parallel GET /api/recordings on 8 raw files of about 16 MiB
//   mute      a recording started while the armband never answers a stream switch
// A second client pings every 10 ms from the start of the load until it is
// answered, and the PING round trips are summarised; then the load is started
// again on a new server and SIGTERM is sent 300 ms into it.
//
//   build/bench/quillon_loop_load [LOAD ...]
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/http_exchange.h"
#include "tests/support/server_process.h"
#include "tests/support/simulated_recordings.h"
#include "tests/support/wire_client.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kFramesPerWindow = 650 * 30;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Load {
    const char* name;
    int recordedWindows;  // per gesture, written before the server starts; 0 none
    // Runs the load with the first client; returns when the load has been answered.
    std::function<void(ServerProcess&, WireClient&)> run;
};

bool prepare(ServerProcess& server, const Load& load, std::unique_ptr<WireClient>& client) {
    if (load.recordedWindows > 0) {
        writeSimulatedWindows(server.dir(), load.recordedWindows);
    }
    if (!server.start(std::chrono::seconds(60))) {
        std::fprintf(stderr, "%s: the server did not start\n%s", load.name, server.log().c_str());
        return false;
    }
    client = std::make_unique<WireClient>(server.port());
    client->send({0x02, 0x00});
    if (!client->nextWithCode(0x02, std::chrono::seconds(30))) {
        std::fprintf(stderr, "%s: no armband found\n", load.name);
        return false;
    }
    client->send({0x03});
    if (!client->nextWithCode(0x03, std::chrono::seconds(30))) {
        std::fprintf(stderr, "%s: the armband did not connect\n", load.name);
        return false;
    }
    client->send({0x05, 0xFF, 0xFF});
    if (!client->nextWithCode(0x05, std::chrono::seconds(30))) {
        std::fprintf(stderr, "%s: the armband was not configured\n", load.name);
        return false;
    }
    return true;
}

struct Pings {
    std::vector<double> roundTrips;
    int unanswered = 0;
};

// Pings every 10 ms from its own connection until `stop`, then once more.
Pings pingUntil(std::uint16_t port, const std::atomic<bool>& stop) {
    Pings pings;
    WireClient prober(port);
    if (!prober.connected()) {
        return pings;
    }
    do {
        const auto sent = Clock::now();
        prober.send({0x01});
        if (prober.nextWithCode(0x01, std::chrono::seconds(30))) {
            pings.roundTrips.push_back(msSince(sent));
        } else {
            ++pings.unanswered;
        }
        std::this_thread::sleep_for(milliseconds(10));
    } while (!stop.load());
    return pings;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t at = std::min(
        values.size() - 1, static_cast<std::size_t>(share * static_cast<double>(values.size())));
    return values[at];
}

void measure(const Load& load) {
    {
        ServerProcess server(1.0);
        std::unique_ptr<WireClient> client;
        if (!prepare(server, load, client)) {
            return;
        }
        std::atomic<bool> stop{false};
        Pings pings;
        std::thread prober([&] { pings = pingUntil(server.port(), stop); });
        std::this_thread::sleep_for(milliseconds(100));
        const auto start = Clock::now();
        load.run(server, *client);
        const double loadMs = msSince(start);
        stop.store(true);
        prober.join();
        std::printf(
            "%-10s load %8.0f ms  pings %5zu  p50 %7.1f ms  p99 %7.1f ms  max %7.1f ms  unanswered "
            "%d\n",
            load.name, loadMs, pings.roundTrips.size(), percentile(pings.roundTrips, 0.5),
            percentile(pings.roundTrips, 0.99), percentile(pings.roundTrips, 1.0),
            pings.unanswered);
    }
    {
        ServerProcess server(1.0);
        std::unique_ptr<WireClient> client;
        if (!prepare(server, load, client)) {
            return;
        }
        std::thread loader([&] { load.run(server, *client); });
        std::this_thread::sleep_for(milliseconds(300));
        const auto sent = Clock::now();
        server.signal(SIGTERM);
        const auto code = server.waitForExit(std::chrono::seconds(60));
        const double exitMs = msSince(sent);
        loader.join();
        std::printf("%-10s SIGTERM 300 ms into the load: exit %s after %.0f ms\n", load.name,
                    code ? std::to_string(*code).c_str() : "none", exitMs);
    }
    std::fflush(stdout);
}

std::vector<Load> loads() {
    return {
        {"version", 0,
         [](ServerProcess&, WireClient& client) {
             for (int i = 0; i < 2000; ++i) {
                 client.send({0x30});
             }
             int answered = 0;
             while (answered < 2000 && client.nextWithCode(0x30, std::chrono::seconds(30))) {
                 ++answered;
             }
             std::printf("version    answered %d of 2000\n", answered);
         }},
        {"train", 86,
         [](ServerProcess&, WireClient& client) {
             client.send({0x0A});
             const auto answer = client.nextWithCode(0x0A, std::chrono::seconds(120));
             std::printf("train      answer %s\n", answer ? hex(*answer).c_str() : "none");
         }},
        {"inventory", 107,
         [](ServerProcess& server, WireClient&) {
             std::vector<std::thread> requests;
             std::atomic<int> complete{0};
             std::atomic<int> busy{0};
             for (int i = 0; i < 40; ++i) {
                 requests.emplace_back([&server, &complete, &busy] {
                     const HttpResponse response = httpGet(server.port(), "/api/recordings");
                     if (response.status == 200 &&
                         response.body.find("\"activeWindows\": null") == std::string::npos) {
                         ++complete;
                     } else if (response.status == 503) {
                         ++busy;
                     }
                 });
             }
             for (std::thread& request : requests) {
                 request.join();
             }
             std::printf(
                 "inventory  answered 200 with every analysis: %d of 40, 503 (too many "
                 "waiting): %d\n",
                 complete.load(), busy.load());
         }},
        {"mute", 0,
         [](ServerProcess& server, WireClient& client) {
             server.sim("mute setDataNotifySwitch 3");
             client.send({0x06, 0x01});
             const auto answer = client.nextWithCode(0x06, std::chrono::seconds(60));
             std::printf("mute       answer %s\n", answer ? hex(*answer).c_str() : "none");
         }},
    };
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> wanted(argv + 1, argv + argc);
    for (const Load& load : loads()) {
        if (wanted.empty() || std::find(wanted.begin(), wanted.end(), load.name) != wanted.end()) {
            measure(load);
        }
    }
    return 0;
}
