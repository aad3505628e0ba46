// A body handed out piece by piece by whoever sends it, so that a large one is
// never held whole. Made on one thread and then used by one other thread at a
// time (the one that sends it).
#pragma once

#include <cstdint>
#include <string>

class BodyStream {
  public:
    virtual ~BodyStream() = default;
    // The body's length in bytes; called once, before the first piece.
    virtual std::uint64_t length() = 0;
    // Replaces `piece` with the next bytes: an empty piece once the body is
    // complete. False when it cannot go on (the body is then cut short).
    virtual bool next(std::string& piece) = 0;
};
