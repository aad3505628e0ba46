// The server under mixed load for a bounded time (QUILLON_SOAK_MINUTES, 2 by
// default; scripts/soak MINUTES for long runs): two clients take turns doing
// the whole journey on fresh connections, each turn starting from deleted
// recordings and meeting armband faults drawn at random, while three others
// ping all along. Every command must get its final answer, every ping its
// pong; after warm-up the resident set stays within a generous bound of its
// level then, and the server's descriptors and threads come back to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/http_exchange.h"
#include "tests/support/process_stats.h"
#include "tests/support/server_process.h"
#include "tests/support/wire_client.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kAnswerBound = 30s;  // the longest wait for one final answer
constexpr auto kPingEvery = 20ms;

// Faults whose answers come at once or through the watchdog. Muting the
// requests the main thread waits for (switching streams, reading versions)
// holds every client up for seconds by design, which would say nothing about
// the pings' latency.
const std::vector<std::string> kFaults = {
    "fail setDataNotifySwitch", "fail setEmgRawDataConfig", "fail trainModelUpdate",
    "fail connect",             "fail startScan",           "fail queryFirmwareVersion",
    "mute setEmgRawDataConfig", "mute trainModelUpdate",    "mute connect",
    "nosetting",
};

Bytes versionAnswer(const std::string& armband) {
    Bytes answer{0x30};
    const std::string text = "000.005.002/" + armband;
    answer.insert(answer.end(), text.begin(), text.end());
    return answer;
}

double soakMinutes() {
    const char* text = std::getenv("QUILLON_SOAK_MINUTES");
    const double minutes = text != nullptr ? std::atof(text) : 0.0;
    return minutes > 0.0 ? minutes : 2.0;
}

struct Counters {
    std::atomic<long> commands{0};
    std::atomic<long> answers{0};
    std::atomic<long> journeys{0};
    std::atomic<long> completeJourneys{0};
    std::atomic<long> faults{0};
    std::atomic<long> pings{0};  // plain pings sent, answered 01 00 to every client
};

// One journey client's turn. Returns false when a command went unanswered.
class Journey {
  public:
    Journey(ServerProcess& server, Counters& counters, std::mt19937& random)
        : server(server), counters(counters), random(random), client(server.port()) {}

    bool run() {
        if (!client.connected()) {
            std::printf("soak: journey client could not connect: %s\n", client.error().c_str());
            return false;
        }
        counters.journeys.fetch_add(1);
        for (const char* gesture : {"1", "2"}) {
            const HttpResponse deleted = httpRequest(server.port(), "DELETE",
                                                     std::string("/api/recordings/") + gesture, "",
                                                     "X-Quillon-Request: 1\r\n");
            if (deleted.status != 200 && deleted.status != 404 && deleted.status != 409) {
                std::printf("soak: DELETE answered %d\n", deleted.status);
                return false;
            }
        }
        bool ok = step({0x02, 0x00}, 0x02) && step({0x03}, 0x03) && step({0x05, 0xFF, 0x03}, 0x05);
        for (std::uint8_t gesture = 1; ok && gesture <= 2; ++gesture) {
            server.sim("perform " + std::to_string(gesture));
            ok = step({0x06, gesture}, 0x06);
        }
        ok = ok && step({0x0A}, 0x0A) && step({0x0C}, 0x0C);
        if (ok) {
            client.send({0x08});
            std::this_thread::sleep_for(200ms);
        }
        // Whatever happened, the turn ends stopped and disconnected.
        const bool stopped = answered({0x09}, 0x08).has_value();
        const auto version = answered({0x30}, 0x30);
        if (version && *version != versionAnswer("001.004.027/003.000.000") &&
            *version != versionAnswer("---.---.---/---.---.---")) {
            std::printf("soak: version answer %s\n", hex(*version).c_str());
            return false;
        }
        answered({0x04}, 0x04);
        server.sim("reset");
        if (ok) {
            counters.completeJourneys.fetch_add(1);
        }
        return !lost && stopped && version.has_value();
    }

  private:
    // Sends a command, maybe after a fault; true when it succeeded.
    bool step(const Bytes& command, std::uint8_t code) {
        if (std::uniform_int_distribution<int>(0, 99)(random) < 6) {
            server.sim(kFaults[std::uniform_int_distribution<std::size_t>(0, kFaults.size() - 1)(random)]);
            counters.faults.fetch_add(1);
        }
        const auto answer = answered(command, code);
        return answer && answer->size() >= 2 && (*answer)[1] == 0x00;
    }

    // The command's final answer: the first message with its code (for 0x08,
    // the stop's FD; gesture reports and upload progress are passed over).
    std::optional<Bytes> answered(const Bytes& command, std::uint8_t code) {
        counters.commands.fetch_add(1);
        client.send(command);
        const auto deadline = Clock::now() + kAnswerBound;
        while (Clock::now() < deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            auto message = client.nextWithCode(code, std::max(left, 1ms));
            if (!message) {
                break;
            }
            if (code == 0x08 && (message->size() != 2 || (*message)[1] != 0xFD)) {
                continue;
            }
            counters.answers.fetch_add(1);
            return message;
        }
        std::printf("soak: command %02x got no final answer\n", command[0]);
        lost = true;
        return std::nullopt;
    }

    ServerProcess& server;
    Counters& counters;
    std::mt19937& random;
    WireClient client;
    bool lost = false;
};

struct ProcessFigures {
    std::int64_t residentKiB = 0;
    int descriptors = 0;
    int threads = 0;
};

ProcessFigures figuresOf(const ServerProcess& server) {
    return {residentKiB(server.processId()), openDescriptors(server.processId()),
            threadCount(server.processId())};
}

TEST(Soak, ClientsDoingTheWholeJourneyAmongFaultsAndPingsLoseNothingAndLeakNothing) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    const auto duration = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::ratio<60>>(soakMinutes()));
    const auto start = Clock::now();
    const auto end = start + duration;
    Counters counters;
    std::atomic<bool> stopPinging{false};
    std::atomic<bool> failed{false};

    // Two clients send plain pings, every client gets every pong; one more
    // sends a ping of two bytes, answered 01 FF to it alone among pingers,
    // and times it.
    std::vector<std::unique_ptr<WireClient>> pingers;
    for (int i = 0; i < 3; ++i) {
        pingers.push_back(std::make_unique<WireClient>(server.port()));
        ASSERT_TRUE(pingers.back()->connected());
    }
    std::vector<long> pongs(2, 0);
    std::vector<double> latencies;
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            WireClient& pinger = *pingers[static_cast<std::size_t>(i)];
            while (!stopPinging.load()) {
                counters.pings.fetch_add(1);
                pinger.send({0x01});
                while (auto message = pinger.next(0ms)) {
                    pongs[static_cast<std::size_t>(i)] += *message == Bytes{0x01, 0x00};
                }
                std::this_thread::sleep_for(kPingEvery);
            }
        });
    }
    long timedPings = 0;
    long timedPongs = 0;
    threads.emplace_back([&] {
        WireClient& pinger = *pingers[2];
        while (!stopPinging.load()) {
            const auto sent = Clock::now();
            ++timedPings;
            pinger.send({0x01, 0x00});
            std::optional<Bytes> answer;  // plain pongs share the code: wait for its own
            do {
                answer = pinger.nextWithCode(0x01, kAnswerBound);
            } while (answer && *answer != Bytes{0x01, 0xFF});
            if (!answer) {
                failed.store(true);
                return;
            }
            ++timedPongs;
            latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
            std::this_thread::sleep_for(kPingEvery);
        }
    });

    std::mutex turn;
    ProcessFigures warm{};
    std::atomic<bool> warmedUp{false};
    for (int j = 0; j < 2; ++j) {
        threads.emplace_back([&, j] {
            std::mt19937 random(static_cast<std::uint32_t>(7001 + j));
            while (Clock::now() < end && !failed.load()) {
                std::lock_guard<std::mutex> guard(turn);
                if (!Journey(server, counters, random).run()) {
                    failed.store(true);
                }
                // After the first two turns, between turns: the warm-up level.
                if (counters.journeys.load() == 2 && !warmedUp.exchange(true)) {
                    std::this_thread::sleep_for(500ms);
                    warm = figuresOf(server);
                }
            }
        });
    }
    for (std::size_t t = 3; t < threads.size(); ++t) {
        threads[t].join();
    }
    std::this_thread::sleep_for(500ms);
    const ProcessFigures last = figuresOf(server);
    stopPinging.store(true);
    for (std::size_t t = 0; t < 3; ++t) {
        threads[t].join();
    }
    // The pongs still on their way arrive within a second.
    std::this_thread::sleep_for(1s);
    for (int i = 0; i < 2; ++i) {
        while (auto message = pingers[static_cast<std::size_t>(i)]->next(200ms)) {
            pongs[static_cast<std::size_t>(i)] += *message == Bytes{0x01, 0x00};
        }
    }

    std::sort(latencies.begin(), latencies.end());
    const double p99 = latencies.empty() ? 0.0 : latencies[latencies.size() * 99 / 100];
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "soak: %.0f s, %ld journeys (%ld whole), %ld commands, %ld final answers, %ld faults, "
        "%ld + %ld pings; RSS %lld KiB after warm-up, %lld KiB at the end; descriptors %d/%d, "
        "threads %d/%d; PING p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
        seconds, counters.journeys.load(), counters.completeJourneys.load(),
        counters.commands.load(), counters.answers.load(), counters.faults.load(),
        counters.pings.load(), timedPings, static_cast<long long>(warm.residentKiB),
        static_cast<long long>(last.residentKiB), warm.descriptors, last.descriptors, warm.threads,
        last.threads, latencies.empty() ? 0.0 : latencies[latencies.size() / 2], p99,
        latencies.empty() ? 0.0 : latencies.back());

    EXPECT_FALSE(failed.load());
    EXPECT_GE(counters.journeys.load(), 3);
    EXPECT_GE(counters.completeJourneys.load(), 1);
    EXPECT_EQ(counters.answers.load(), counters.commands.load());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(pongs[static_cast<std::size_t>(i)], counters.pings.load()) << "pinger " << i;
    }
    EXPECT_EQ(timedPongs, timedPings);
    ASSERT_TRUE(warmedUp.load());
    EXPECT_LE(last.residentKiB, warm.residentKiB * 3 / 2 + 32 * 1024);
    EXPECT_LE(last.descriptors, warm.descriptors);
    EXPECT_LE(last.threads, warm.threads);
    EXPECT_LT(p99, 5000.0);

    pingers[0]->send({0xFF});
    EXPECT_EQ(server.waitForExit(), 0);
}

}  // namespace
