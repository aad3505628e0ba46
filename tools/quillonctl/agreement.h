// How well live identification followed the wearer: for each stretch of time
// in which the wearer held a gesture or rested, the share of that time during
// which the server's last report named what the wearer did. Pure: times are
// offsets from the start of identification.
//
// The server reports a gesture only when the recognised one changes, so the
// reported gesture at any moment is that of the last report at or before it.
// Before the first report it counts as no gesture (the server's own starting
// state), so a report that never came counts against a hold.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "protocol/wire.h"

// What the wearer did over [begin, end): held `gesture` (1 to 8) or rested
// (kNoGesture, the report's gesture number for none).
struct WearerPhase {
    std::uint8_t gesture = kNoGesture;
    std::chrono::milliseconds begin{0};
    std::chrono::milliseconds end{0};
};

// A report of identification (08 G): from `at` on, the server names `gesture`.
struct GestureReport {
    std::chrono::milliseconds at{0};
    std::uint8_t gesture = kNoGesture;
};

struct AgreementShare {
    std::uint8_t gesture = kNoGesture;
    std::chrono::milliseconds total{0};   // time the wearer spent on it
    std::chrono::milliseconds agreed{0};  // of which the last report named it

    // agreed / total in percent; 0 when no time was spent.
    float percent() const;
};

struct Agreement {
    std::vector<AgreementShare> holds;  // one per gesture held, in the order first held
    AgreementShare rest;                // every rest together
    AgreementShare overall;             // holds and rests together; its gesture means nothing
};

// Phases may come in any order and leave gaps (time outside every phase is not
// measured); reports may come in any order too. A phase whose end is not after
// its begin counts for nothing.
Agreement measureAgreement(const std::vector<WearerPhase>& phases,
                           const std::vector<GestureReport>& reports);
