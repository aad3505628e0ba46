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

#include "commands/client_commands.h"
#include "core/event_queue.h"
#include "core/main_loop.h"
#include "core/mutex.h"
#include "core/recording_timer.h"
#include "core/timer_events.h"
#include "device/acquisition_state.h"
#include "device/hub_events.h"
#include "device/tessel_handle.h"
#include "fuzz/fuzz_support.h"
#include "identify/identify_worker.h"
#include "server/client_registry.h"
#include "tessel/simulator.h"
#include "training/raw_recording_file.h"

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

struct Server {
    tessel::sim::Simulation simulation;
    std::shared_ptr<CapturedClient> client = std::make_shared<CapturedClient>();
};

Server& server() {
    static Server* made = [] {
        auto* made = new Server;
        tessel::sim::Options options;
        options.delayScale = 0.0;
        // A window of 19500 frames fills in 0.15 s.
        options.streamSpeed = 200.0;
        options.controlPort = tessel::sim::kNoControlPort;
        made->simulation = tessel::sim::makeSimulation(options);
        hub = made->simulation.hub;
        handle = std::make_shared<TesselHandle>(hub);
        hub->registerListener(handle);
        hub->init(0);
        handle->setResponseTimeout(50ms);
        recordingWindowMs.store(40);
        clientRegistry.add(made->client);
        std::thread(identifyWorker).detach();
        // A recording may be streaming when fuzzing ends: the armband's
        // threads stop before the objects they feed are destroyed.
        std::atexit([] {
            hub->deinit();
            identifyQueue.pushUrgent(nullptr);
        });
        return made;
    }();
    return *made;
}

const EventHandlers kHandlers{handleClientCommands, handleHubEvents, handleTimerEvents,
                              handleInternalEvents, nullptr};

// Handles queued events until none has come for `quiet` (and, while a
// recording window is open, until it has ended or `longest` has passed).
void pumpEvents(std::chrono::milliseconds quiet, std::chrono::milliseconds longest = 200ms) {
    const auto start = Clock::now();
    auto last = start;
    for (;;) {
        if (EventRecord record = eventQueue.tryPop()) {
            dispatchEvent(*record, kHandlers);  // an EXIT_EVT ends nothing here
            last = Clock::now();
            continue;
        }
        const auto now = Clock::now();
        const bool recording = dataMode.load() == RECORD_MODE && now - start < longest;
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

// The messages the clients got meanwhile are all protocol messages; returns
// how many were `expected` exactly, and how many started with `code`.
std::pair<int, int> checkMessages(const std::vector<ClientMessage>& got,
                                  const std::vector<std::uint8_t>& expected, std::uint8_t code) {
    int exact = 0;
    int withCode = 0;
    for (const ClientMessage& message : got) {
        fuzzCheck(!message->empty() && message->size() <= 255, "messages of 1 to 255 bytes");
        fuzzCheck(isResponseCode(message->front()), "a known response code");
        exact += *message == expected;
        withCode += message->front() == code;
    }
    return {exact, withCode};
}

void handleMessage(const std::vector<std::uint8_t>& message, CapturedClient& client) {
    handleClientCommands(message.data(), message.size());
    const std::vector<ClientMessage> got = client.take();
    const std::uint8_t code = message.empty() ? 0 : message.front();
    if (code == PING) {
        const std::vector<std::uint8_t> answer{PING,
                                               message.size() == 1 ? STATUS_OK : STATUS_FAILED};
        fuzzCheck(checkMessages(got, answer, PING).first == 1, "PING answered once at once");
    } else if (code == GET_VERSION) {
        fuzzCheck(checkMessages(got, {}, GET_VERSION).second == 1, "GET_VERSION answered once");
        for (const ClientMessage& reply : got) {
            if (reply->front() == GET_VERSION) {
                fuzzCheck(reply->size() == 36 && (*reply)[12] == '/' && (*reply)[24] == '/',
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
    Server& running = server();
    // From idle: whatever runs is stopped, the wearer and the faults reset.
    handleClientCommands(std::vector<std::uint8_t>{STOP_IDENTIFY}.data(), 1);
    handleClientCommands(std::vector<std::uint8_t>{STOP_GESTURE_STREAM}.data(), 1);
    handleClientCommands(std::vector<std::uint8_t>{STOP_PREVIEW}.data(), 1);
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
        handleMessage(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), *running.client);
    }
    return 0;
}
