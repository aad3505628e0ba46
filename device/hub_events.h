// Device notifications: two bytes, code then value, queued as HUB_EVT records
// by the device handler and sent to the clients by the main thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/event_record.h"

class EventQueue;

// Notification codes.
inline constexpr std::uint8_t kNotifyDeviceFound = 0x02;
inline constexpr std::uint8_t kNotifyConnected = 0x03;
inline constexpr std::uint8_t kNotifyDisconnected = 0x04;
inline constexpr std::uint8_t kNotifyRawConfig = 0x05;
inline constexpr std::uint8_t kNotifyUploadDone = 0x0C;
inline constexpr std::uint8_t kNotifyUploadProgress = 0x0D;
inline constexpr std::uint8_t kNotifyGesture = 0x10;

// Status values carried by notifications.
inline constexpr std::uint8_t STATUS_DEVICE_ERROR = 0xF0;
inline constexpr std::uint8_t STATUS_NO_SETTING = 0xF1;
inline constexpr std::uint8_t STATUS_NO_DEVICE = 0xF2;

// Queues the record HUB_EVT, code, value; `origin` is the command whose
// request it answers, when known. Any thread.
void postHubEvent(EventQueue& events, std::uint8_t code, std::uint8_t value,
                  const Origin& origin = {});
