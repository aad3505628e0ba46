// Helpers shared by the identification tests: a client that records what the
// server sends, a scratch working directory, and model files.
#pragma once

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/acquisition_state.h"
#include "identify/identify_model_check.h"
#include "server/client_registry.h"
#include "training/model_shape.h"

namespace identify_test {

using Bytes = std::vector<std::uint8_t>;

// Registered with clientRegistry for its lifetime; keeps every message sent.
class RecordingClient : public ClientConnection {
  public:
    void send(ClientMessage message) override {
        {
            std::lock_guard<std::mutex> guard(lock);
            messages.push_back(*message);
        }
        arrived.notify_all();
    }

    std::vector<Bytes> received() const {
        std::lock_guard<std::mutex> guard(lock);
        return messages;
    }

    // All messages joined, as the golden files hold them.
    Bytes concatenated() const {
        Bytes all;
        for (const Bytes& message : received()) {
            all.insert(all.end(), message.begin(), message.end());
        }
        return all;
    }

    bool waitForCount(std::size_t count, std::chrono::seconds timeout) const {
        std::unique_lock<std::mutex> guard(lock);
        return arrived.wait_for(guard, timeout, [&] { return messages.size() >= count; });
    }

  private:
    mutable std::mutex lock;
    mutable std::condition_variable arrived;
    std::vector<Bytes> messages;  // guarded by lock
};

class RegisteredClient {
  public:
    RegisteredClient() : client(std::make_shared<RecordingClient>()) { clientRegistry.add(client); }
    ~RegisteredClient() { clientRegistry.remove(client.get()); }
    RegisteredClient(const RegisteredClient&) = delete;
    RegisteredClient& operator=(const RegisteredClient&) = delete;

    RecordingClient* operator->() const { return client.get(); }

  private:
    std::shared_ptr<RecordingClient> client;
};

// A fresh directory that is the working directory for the object's lifetime.
class ScratchDirectory {
  public:
    ScratchDirectory() : previous(std::filesystem::current_path()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillon-identify-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path = pattern;
            std::filesystem::current_path(path);
        }
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
        if (!path.empty()) {
            std::filesystem::remove_all(path, ignored);
        }
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    bool ready() const { return !path.empty(); }

  private:
    std::filesystem::path previous;
    std::filesystem::path path;
};

// The shared state identification reads, as at start-up (lastIdentified 0xFF,
// no model requested), so tests also hold when run in one process.
inline void resetIdentifyGlobals() {
    resetAcquisitionState();
    newModelFlag.store(0);
    identifyWindowLength.store(0);
}

inline void writeFile(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << text;
}

inline void writeModel(const std::string& text) {
    writeFile("W&B.txt", text);
}

// A model of `lines` lines of `numbers` numbers each, all 0.
inline std::string zeroModel(int lines, int numbers) {
    std::string text;
    for (int line = 0; line < lines; ++line) {
        for (int n = 0; n < numbers; ++n) {
            text += n + 1 < numbers ? "0.000000 " : "0.000000\n";
        }
    }
    return text;
}

inline Bytes readBinary(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace identify_test
