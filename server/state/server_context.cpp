#include "server/state/server_context.h"

ServerContext::ServerContext(std::shared_ptr<tessel::Hub> theHub, std::int64_t windowMs)
    : hub(std::move(theHub)),
      handle(std::make_shared<TesselHandle>(hub, eventQueue, requestWatchdog, routing)),
      recordingWindowLimitMs(windowMs + kArmbandSilenceMs) {}

ServerContext::~ServerContext() {
    worker.stop();
    identify.stop();
    // No watch expires and no timer fires into what is destroyed below.
    timerScheduler.stop();
}

bool ServerContext::streamWanted() const {
    return acquisition.dataMode != IDLE_MODE || acquisition.previewStarting ||
           routing.previewOpen();
}

void ServerContext::refreshInventory(int gesture, std::uint8_t channelMask,
                                     std::function<void()> then) {
    struct Analysed {
        InventoryCache::Key key;
        std::optional<RecordingActivity> activity;
    };
    inventory.started(gesture);
    inBackground(
        [gesture, channelMask](std::stop_token) {
            Analysed analysed;
            analysed.activity = analyseRecordingActivity(gesture, channelMask);
            analysed.key = InventoryCache::keyOf(
                gesture, analysed.activity ? analysed.activity->channelMask : channelMask);
            return analysed;
        },
        [this, gesture, then = std::move(then)](Analysed analysed) {
            if (analysed.activity) {
                inventory.store(gesture, analysed.key, *analysed.activity);
            }
            if (then) {
                then();
            }
            inventory.ended(gesture);
        });
}
