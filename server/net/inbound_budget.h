// What the clients' messages waiting for the main loop hold, and when a
// connection may read its next message.
//
// A connection reads its next message only while fewer than
// kMaxWaitingPerConnection of its messages, and fewer than
// kMaxWaitingBytesPerConnection of their bytes, wait in the event queue, and
// all connections' waiting messages together hold fewer than kMaxWaitingBytes.
// Otherwise it stops reading: its client's further messages wait in TCP, the
// client's sends slow down, and the queue stays bounded. One client's flood
// therefore stands in front of another client's command by a few messages at
// most. A message counts from its read until the main loop frees its record.
//
// The server thread makes records and pauses; any thread may free a record (the
// main thread, after its handler), which resumes every paused connection that
// may read again through the resume function given at construction, called on
// that thread. The connections of one server share one InboundBudgets, which
// counts their waiting bytes together and keeps the paused ones. Lock order:
// the paused list's lock, then a budget's resumeLock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/event_record.h"
#include "base/mutex.h"

inline constexpr std::size_t kMaxWaitingPerConnection = 16;
inline constexpr std::size_t kMaxWaitingBytesPerConnection = 16 * 1024 * 1024;
inline constexpr std::size_t kMaxWaitingBytes = 64 * 1024 * 1024;
// What a waiting record costs besides its bytes.
inline constexpr std::size_t kWaitingRecordOverhead = 64;

class InboundBudget;

// What the connections of one server hold together.
class InboundBudgets {
  public:
    // Bytes waiting from every connection together.
    std::size_t waitingBytes() const { return allWaitingBytes.load(); }

  private:
    friend class InboundBudget;
    std::atomic<std::size_t> allWaitingBytes{0};
    // The connections that stopped reading, whichever limit stopped them: a
    // connection stopped by the limit of all connections together resumes
    // when any record is freed.
    Mutex pausedLock;
    std::vector<std::weak_ptr<InboundBudget>> pausedBudgets GUARDED_BY(pausedLock);
    std::atomic<std::size_t> pausedCount{0};
};

class InboundBudget : public std::enable_shared_from_this<InboundBudget> {
  public:
    InboundBudget(std::shared_ptr<InboundBudgets> all, std::function<void()> resume);
    InboundBudget(const InboundBudget&) = delete;
    InboundBudget& operator=(const InboundBudget&) = delete;

    // The APP_CLIENT_EVT record of a message, charged to this connection until freed.
    EventRecord makeRecord(const std::uint8_t* data, std::size_t length);
    bool mayRead() const;
    // The connection stops reading until resumed. False, with no pause, when
    // room came meanwhile: read on.
    bool pause();
    // The connection has closed: nothing is resumed any more. Server thread.
    void detach();

  private:
    void release(std::size_t cost);

    const std::shared_ptr<InboundBudgets> pool;
    std::atomic<std::size_t> messages{0};
    std::atomic<std::size_t> bytes{0};
    Mutex resumeLock;
    std::function<void()> resume GUARDED_BY(resumeLock);
};
