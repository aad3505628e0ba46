// Helpers for the identification tests: a client that keeps what the server
// sends, a scratch working directory, and model files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

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

class RecordingClient : public ClientConnection {
  public:
    void send(ClientMessage message) override {
        std::lock_guard<std::mutex> guard(lock);
        messages.push_back(*message);
    }
    std::vector<Bytes> received() const {
        std::lock_guard<std::mutex> guard(lock);
        return messages;
    }

  private:
    mutable std::mutex lock;
    std::vector<Bytes> messages;  // guarded by lock
};

// A RecordingClient in clientRegistry for the object's lifetime.
class RegisteredClient {
  public:
    RegisteredClient() { clientRegistry.add(client); }
    ~RegisteredClient() { clientRegistry.remove(client.get()); }
    RecordingClient* operator->() const { return client.get(); }

  private:
    std::shared_ptr<RecordingClient> client = std::make_shared<RecordingClient>();
};

// A fresh directory that is the working directory for the object's lifetime.
class ScratchDirectory {
  public:
    ScratchDirectory() {
        std::string pattern = std::filesystem::temp_directory_path() / "quillon-identify-XXXXXX";
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
    bool ready() const { return !path.empty(); }

  private:
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::path path;
};

// The shared state identification reads, as at start-up, so tests also hold
// when they share one process.
inline void resetIdentifyGlobals() {
    resetAcquisitionState();
    newModelFlag.store(0);
    identifyWindowLength.store(0);
}

inline void writeModel(const std::string& text) {
    std::ofstream(kModelFileName, std::ios::binary | std::ios::trunc) << text;
}

// `lines` lines of `numbers` zeros each.
inline std::string zeroModel(int lines, int numbers) {
    std::string line;
    for (int n = 1; n < numbers; ++n) {
        line += "0.000000 ";
    }
    line += "0.000000\n";
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += line;
    }
    return text;
}

inline Bytes readBinary(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs body with standard output captured; returns what was logged.
template <typename Body>
std::string logOf(Body&& body) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

}  // namespace identify_test
