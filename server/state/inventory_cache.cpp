#include "server/state/inventory_cache.h"

#include "store/gesture_name_file.h"
#include "store/raw_recording_file.h"
#include "store/window_log.h"

namespace {

bool isGesture(int gesture) {
    return gesture >= 1 && gesture <= 8;
}

}  // namespace

InventoryCache::Key InventoryCache::keyOf(int gesture, std::uint8_t channelMask) {
    return Key{fileStamp(rawFileName(static_cast<std::uint8_t>(gesture))),
               fileStamp(windowLogName(gesture)), channelMask};
}

std::optional<RecordingActivity> InventoryCache::find(int gesture, const Key& key) const {
    if (!isGesture(gesture)) {
        return std::nullopt;
    }
    const auto& entry = kept[static_cast<std::size_t>(gesture - 1)];
    if (!entry || !(entry->key == key)) {
        return std::nullopt;
    }
    return entry->activity;
}

void InventoryCache::store(int gesture, const Key& key, const RecordingActivity& activity) {
    if (isGesture(gesture)) {
        kept[static_cast<std::size_t>(gesture - 1)] = Kept{key, activity};
    }
}

void InventoryCache::started(int gesture) {
    ++underWay;
    if (isGesture(gesture)) {
        ++underWayOf[static_cast<std::size_t>(gesture - 1)];
    }
}

bool InventoryCache::analysing(int gesture) const {
    return isGesture(gesture) && underWayOf[static_cast<std::size_t>(gesture - 1)] > 0;
}

void InventoryCache::ended(int gesture) {
    if (isGesture(gesture) && underWayOf[static_cast<std::size_t>(gesture - 1)] > 0) {
        --underWayOf[static_cast<std::size_t>(gesture - 1)];
    }
    if (underWay > 0) {
        --underWay;
    }
    if (underWay > 0) {
        return;
    }
    std::vector<std::function<void()>> ready;
    ready.swap(waiting);
    for (const auto& then : ready) {
        then();
    }
}

void InventoryCache::whenSettled(std::function<void()> then) {
    if (underWay == 0) {
        then();
        return;
    }
    waiting.push_back(std::move(then));
}

InventoryCache::Made InventoryCache::madeOf(std::uint8_t channelMask, std::uint8_t gestureMask) {
    Made made;
    for (int gesture = 1; gesture <= 8; ++gesture) {
        made.files[static_cast<std::size_t>(gesture - 1)] = keyOf(gesture, 0);
    }
    made.channelMask = channelMask;
    made.gestureMask = gestureMask;
    made.names = fileStamp(kGestureNamesFileName);
    return made;
}

std::shared_ptr<const std::string> InventoryCache::answered(const Made& made) const {
    return lastMade && *lastMade == made ? lastBody : nullptr;
}

void InventoryCache::keepAnswer(const Made& made, std::shared_ptr<const std::string> body) {
    lastMade = made;
    lastBody = std::move(body);
}
