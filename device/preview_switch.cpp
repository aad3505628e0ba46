#include "device/preview_switch.h"

#include <vector>

#include "device/raw_data_routing.h"
#include "protocol/wire.h"
#include "server/client_registry.h"

void PreviewSwitch::open() {
    MutexLock guard(lock);
    const std::uint8_t started[] = {kPreviewAnswer, STATUS_OK};
    sendToClients(started, sizeof started);
    on = true;
}

bool PreviewSwitch::close() {
    MutexLock guard(lock);
    if (!on) {
        return false;
    }
    on = false;
    const std::uint8_t stopped[] = {kPreviewAnswer, STATUS_STOPPED};
    sendToClients(stopped, sizeof stopped);
    return true;
}

bool PreviewSwitch::isOpen() const {
    MutexLock guard(lock);
    return on;
}

void PreviewSwitch::forward(const std::uint8_t* packet, std::size_t length) {
    MutexLock guard(lock);
    if (on) {
        const std::vector<std::uint8_t> frame = buildPreviewFrame(packet, length);
        sendToClients(frame.data(), frame.size());
    }
}
