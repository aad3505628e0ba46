#include "tools/quillonctl/agreement.h"

#include <algorithm>

namespace {

using std::chrono::milliseconds;

// The time in [begin, end) during which the last report (kNoGesture before the
// first) named `gesture`. `reports` are sorted by time.
milliseconds timeNaming(const std::vector<GestureReport>& reports, std::uint8_t gesture,
                        milliseconds begin, milliseconds end) {
    std::uint8_t current = kNoGesture;
    auto next = reports.begin();
    for (; next != reports.end() && next->at <= begin; ++next) {
        current = next->gesture;
    }
    milliseconds agreed{0};
    milliseconds from = begin;
    for (; next != reports.end() && next->at < end; ++next) {
        if (current == gesture) {
            agreed += next->at - from;
        }
        current = next->gesture;
        from = next->at;
    }
    if (current == gesture) {
        agreed += end - from;
    }
    return agreed;
}

void add(AgreementShare& share, milliseconds total, milliseconds agreed) {
    share.total += total;
    share.agreed += agreed;
}

}  // namespace

float AgreementShare::percent() const {
    if (total.count() <= 0) {
        return 0.0f;
    }
    return 100.0f * static_cast<float>(agreed.count()) / static_cast<float>(total.count());
}

Agreement measureAgreement(const std::vector<WearerPhase>& phases,
                           const std::vector<GestureReport>& reports) {
    std::vector<GestureReport> sorted = reports;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const GestureReport& a, const GestureReport& b) { return a.at < b.at; });
    Agreement agreement;
    for (const WearerPhase& phase : phases) {
        if (phase.end <= phase.begin) {
            continue;
        }
        const milliseconds total = phase.end - phase.begin;
        const milliseconds agreed = timeNaming(sorted, phase.gesture, phase.begin, phase.end);
        add(agreement.overall, total, agreed);
        if (phase.gesture == kNoGesture) {
            add(agreement.rest, total, agreed);
            continue;
        }
        auto share = std::find_if(
            agreement.holds.begin(), agreement.holds.end(),
            [&phase](const AgreementShare& held) { return held.gesture == phase.gesture; });
        if (share == agreement.holds.end()) {
            agreement.holds.push_back(AgreementShare{phase.gesture});
            share = agreement.holds.end() - 1;
        }
        add(*share, total, agreed);
    }
    return agreement;
}
