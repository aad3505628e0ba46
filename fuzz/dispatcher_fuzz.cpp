// Any sequence of client messages, with the simulated armband's fault words
// mixed in, against the server's command dispatcher and event handlers: every
// message handled without a memory or undefined-behaviour fault and within
// libFuzzer's time-out, every PING and GET_VERSION answered at once and
// exactly once, and every message the clients get one of the protocol's.
//
// Input: chunks of a tag byte and its bytes. Tags 0xE0 and above are fault
// words (kFaultWords); 0xC0 to 0xDF a message of 250 to 281 bytes; any other
// tag a message of (tag & 0x3F) bytes. Each input starts from idle, with the
// wearer and the armband's faults reset and an empty working directory.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/mutex.h"
#include "fuzz/fuzz_support.h"
#include "server/commands/client_commands.h"
#include "server/main_loop.h"
#include "server/server.h"
#include "tessel/simulator.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class CapturedClient : public ClientConnection {
  public:
    void send(ClientMessage message) override {
        MutexLock guard(lock);
        messages.push_back(std::move(message));
    }
    std::vector<ClientMessage> take() {
        MutexLock guard(lock);
        return std::exchange(messages, {});
    }

  private:
    Mutex lock;
    std::vector<ClientMessage> messages GUARDED_BY(lock);
};

const std::vector<std::string> kFaultWords = [] {
    std::vector<std::string> words = {
        "drop",           "absent",    "present",   "nosetting", "setting", "hubstate 1",
        "devicestatus 2", "perform 1", "perform 2", "hold 3",    "rest"};
    for (const char* operation :
         {"connect", "startScan", "setDataNotifySwitch", "setEmgRawDataConfig", "trainModelUpdate",
          "queryHardwareVersion", "queryFirmwareVersion"}) {
        words.push_back(std::string("fail ") + operation);
        words.push_back(std::string("mute ") + operation);
        words.push_back(std::string("fail ") + operation + " 3");
    }
    return words;
}();

tessel::sim::Simulation fastSimulation() {
    tessel::sim::Options options;
    options.delayScale = 0.0;
    // A window of 19500 frames fills in 0.15 s.
    options.streamSpeed = 200.0;
    options.controlPort = tessel::sim::kNoControlPort;
    return tessel::sim::makeSimulation(options);
}

// The server's state against the simulated armband, with a client that keeps
// what it is sent; the fuzzer plays the main loop. libFuzzer calls its entry
// points without a context, so it lives here for the whole run.
struct FuzzedServer {
    tessel::sim::Simulation simulation = fastSimulation();
    ServerContext state{simulation.hub, 40};
    std::shared_ptr<CapturedClient> client = std::make_shared<CapturedClient>();
    ClientId clientId = state.clientRegistry.add(client);
    EventHandlers handlers = serverEventHandlers(state, nullptr);
};

FuzzedServer& server() {
    static FuzzedServer* made = [] {
        auto* made = new FuzzedServer;
        made->state.handle->setResponseTimeout(50ms);
        made->simulation.hub->registerListener(made->state.handle);
        made->simulation.hub->init(0);
        // A recording may be streaming when fuzzing ends: the armband's
        // threads stop before the objects they feed are destroyed.
        std::atexit([] {
            server().simulation.hub->deinit();
            server().state.worker.stop();
            server().state.identify.stop();
        });
        return made;
    }();
    return *made;
}

// Handles queued events until none has come for `quiet` (and, while a
// recording window is open, until it has ended or `longest` has passed).
void pumpEvents(std::chrono::milliseconds quiet, std::chrono::milliseconds longest = 200ms) {
    const auto start = Clock::now();
    auto last = start;
    FuzzedServer& running = server();
    for (;;) {
        if (std::optional<Event> event = running.state.eventQueue.tryPop()) {
            dispatchEvent(*event, running.handlers);  // an EXIT_EVT ends nothing here
            last = Clock::now();
            continue;
        }
        const auto now = Clock::now();
        const bool busy =
            running.state.acquisition.dataMode == RECORD_MODE || running.state.worker.pending() > 0;
        const bool recording = busy && now - start < longest;
        if (now - last >= quiet && !recording) {
            return;
        }
        std::this_thread::sleep_for(200us);
    }
}

bool isResponseCode(std::uint8_t code) {
    switch (code) {
        case 0x01:
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x05:
        case 0x06:
        case 0x07:
        case 0x08:
        case 0x0A:
        case 0x0C:
        case 0x0D:
        case 0x10:
        case 0x12:
        case 0x30:
            return true;
        default:
            return false;
    }
}

// The messages the clients got meanwhile are all protocol messages, an own
// answer (31 seqLo seqHi, then the answer) counting as the answer it carries;
// returns how many were `expected` exactly, and how many started with `code`.
std::pair<int, int> checkMessages(const std::vector<ClientMessage>& got,
                                  const std::vector<std::uint8_t>& expected, std::uint8_t code) {
    int exact = 0;
    int withCode = 0;
    for (const ClientMessage& message : got) {
        fuzzCheck(!message->empty() && message->size() <= 255, "messages of 1 to 255 bytes");
        std::vector<std::uint8_t> answer = *message;
        if (answer.front() == OWN_ANSWERS && answer.size() >= 3) {
            answer.erase(answer.begin(), answer.begin() + 3);  // its own answer
            if (answer.empty()) {
                continue;  // a command answered later or never
            }
        } else if (answer.front() == OWN_ANSWERS) {
            fuzzCheck(answer.size() == 2, "the opt-in's answer is 31 and a status");
            continue;
        }
        fuzzCheck(isResponseCode(answer.front()), "a known response code");
        exact += answer == expected;
        withCode += answer.front() == code;
    }
    return {exact, withCode};
}

void handleMessage(const std::vector<std::uint8_t>& message, FuzzedServer& running) {
    CapturedClient& client = *running.client;
    handleClientCommands(running.state, Origin{running.clientId, std::nullopt}, message.data(),
                         message.size());
    std::vector<ClientMessage> got = client.take();
    const std::uint8_t code = message.empty() ? 0 : message.front();
    if (code == PING) {
        const std::vector<std::uint8_t> answer{PING,
                                               message.size() == 1 ? STATUS_OK : STATUS_FAILED};
        fuzzCheck(checkMessages(got, answer, PING).first == 1, "PING answered once at once");
    } else if (code == GET_VERSION) {
        // Answered once both versions are in, or the armband's time is up.
        const auto asked = Clock::now();
        while (checkMessages(got, {}, GET_VERSION).second == 0 && Clock::now() - asked < 1s) {
            pumpEvents(3ms);
            const std::vector<ClientMessage> later = client.take();
            got.insert(got.end(), later.begin(), later.end());
        }
        fuzzCheck(checkMessages(got, {}, GET_VERSION).second == 1, "GET_VERSION answered once");
        for (const ClientMessage& reply : got) {
            const std::size_t at = reply->front() == OWN_ANSWERS ? 3 : 0;
            if (reply->size() > at && (*reply)[at] == GET_VERSION) {
                fuzzCheck(reply->size() == at + 36 && (*reply)[at + 12] == '/' &&
                              (*reply)[at + 24] == '/',
                          "the version text is 35 characters");
            }
        }
    } else {
        checkMessages(got, {}, 0);
    }
    pumpEvents(3ms);
    checkMessages(client.take(), {}, 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzWorkingDirectory();
    server();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedServer& running = server();
    // From idle: whatever runs is stopped, the wearer and the faults reset.
    for (const std::uint8_t stop : {STOP_IDENTIFY, STOP_GESTURE_STREAM, STOP_PREVIEW}) {
        handleClientCommands(running.state, Origin{}, &stop, 1);
    }
    running.simulation.controller->reset();
    emptyWorkingDirectory();
    pumpEvents(3ms);
    running.client->take();

    FuzzInput input(data, size);
    while (!input.empty()) {
        const std::uint8_t tag = input.byte();
        if (tag >= 0xE0) {
            const std::string answer = running.simulation.controller->command(
                kFaultWords[(tag - 0xE0u) % kFaultWords.size()]);
            fuzzCheck(answer.starts_with("ok") || answer.starts_with("error: "),
                      "fault word answered");
            pumpEvents(3ms);
            checkMessages(running.client->take(), {}, 0);
            continue;
        }
        const std::size_t length = tag >= 0xC0 ? 250u + (tag & 0x1Fu) : tag & 0x3Fu;
        const std::string_view bytes = input.bytes(length);
        handleMessage(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), running);
    }
    return 0;
}
