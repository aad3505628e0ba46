// Temporary in-process hub: no armband is ever found. Replaced by the
// simulated armband.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tessel/tessel.h"

namespace tessel {
namespace {

class EmptyHub final : public Hub {
public:
    int init(int) override {
        std::lock_guard<std::mutex> guard(lock);
        initialised = true;
        return 0;
    }
    int deinit() override {
        std::lock_guard<std::mutex> guard(lock);
        initialised = false;
        return 0;
    }
    void setMode(int) override {}
    int registerListener(std::weak_ptr<HubListener>) override { return 0; }
    int unregisterListener(std::weak_ptr<HubListener>) override { return 0; }
    int startScan(std::uint8_t) override { return 0; }
    int stopScan() override { return 0; }
    int run(std::int64_t milliseconds) override {
        std::unique_lock<std::mutex> guard(lock);
        if (!initialised) {
            return kRunNotInitialised;
        }
        idle.wait_for(guard, std::chrono::milliseconds(milliseconds));
        return kRunTimeout;
    }

private:
    std::mutex lock;
    std::condition_variable idle;
    bool initialised = false;
};

}  // namespace

std::shared_ptr<Hub> HubManager::getHubInstance(const std::wstring&) {
    static const std::shared_ptr<Hub> instance = std::make_shared<EmptyHub>();
    return instance;
}

}  // namespace tessel
