// quillon-identify-eval: how live identification fares on the simulated
// wearer profiles, in both modes, against an LDA yardstick.
//
//   quillon-identify-eval [--gestures 1,2,3,4] [--seed N] [--step FRAMES] [--profile NAME]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/identify_eval/evaluation.h"

namespace {

using identify_eval::Score;

std::vector<int> parseList(const std::string& text) {
    std::vector<int> values;
    std::size_t at = 0;
    while (at < text.size()) {
        values.push_back(std::atoi(text.c_str() + at));
        const std::size_t comma = text.find(',', at);
        at = comma == std::string::npos ? text.size() : comma + 1;
    }
    return values;
}

void printRow(const std::string& profile, const char* method, const Score& s) {
    std::printf(
        "| %-8s | %-10s | %5.3f | %5.3f | %4.0f (%d/%d) | %4.0f (%d/%d) | %4.0f (%d/%d) |\n",
        profile.c_str(), method, static_cast<double>(s.balancedAccuracy),
        static_cast<double>(s.restAsNone), static_cast<double>(s.onsetMs), s.onsetsReported,
        s.onsets, static_cast<double>(s.releaseMs), s.releasesReported, s.releases,
        static_cast<double>(s.switchMs), s.switchesReported, s.switches);
}

}  // namespace

int main(int argc, char** argv) {
    identify_eval::EvaluationOptions options;
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--gestures") {
            options.gestures = parseList(value);
        } else if (name == "--seed") {
            options.seed = std::strtoull(value.c_str(), nullptr, 10);
        } else if (name == "--step") {
            options.calibratedStep = static_cast<std::uint32_t>(std::atoi(value.c_str()));
        } else if (name == "--profile") {
            only = value;
        } else {
            std::fprintf(stderr, "unknown option %s\n", name.c_str());
            return 2;
        }
    }
    std::vector<identify_eval::ProfileEvaluation> results;
    for (const tessel::sim::WearerProfile& profile : tessel::sim::wearerProfiles()) {
        if (only.empty() || only == profile.name) {
            results.push_back(identify_eval::evaluateProfile(profile, options));
        }
    }
    std::printf(
        "\n| profile  | method     | bal.acc | rest-as-none | onset ms (found) | release ms "
        "(found) | switch ms (found) |\n|---|---|---|---|---|---|---|\n");
    for (const auto& r : results) {
        if (!r.trained) {
            std::printf("| %-8s | not trained |\n", r.profile.c_str());
            continue;
        }
        printRow(r.profile, "exact", r.exact);
        printRow(r.profile, "calibrated", r.calibrated);
        printRow(r.profile, "LDA", r.lda);
    }
    std::printf("\n| profile | rest var | weakest active var | on | off | LDA offline bal.acc |\n");
    for (const auto& r : results) {
        std::printf("| %-8s | %.0f | %.0f | %.0f | %.0f | %.3f |\n", r.profile.c_str(),
                    static_cast<double>(r.calibration.restVariance),
                    static_cast<double>(r.calibration.activeVariance),
                    static_cast<double>(r.calibration.onThreshold),
                    static_cast<double>(r.calibration.offThreshold),
                    static_cast<double>(r.ldaOfflineAccuracy));
    }
    return 0;
}
