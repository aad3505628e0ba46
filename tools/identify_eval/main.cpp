// quillon-identify-eval: how live identification fares on the simulated
// wearer profiles, or on the people of a development set of real EMG, in
// both modes, against an LDA yardstick.
//
//   quillon-identify-eval [--gestures 1,2,3,4] [--seed N] [--profile NAME] [--dev FOLDER]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <stdlib.h>

#include "tools/identify_eval/evaluation.h"
#include "tools/identify_eval/live_run.h"

namespace {

using identify_eval::Evaluated;
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

void printRow(const std::string& name, const char* method, const Score& s) {
    std::printf(
        "| %-8s | %-10s | %5.3f | %5.3f | %4.0f / %4.0f (%d/%d) | %4.0f (%d/%d) | %4.0f (%d/%d) | "
        "%d/%d |\n",
        name.c_str(), method, static_cast<double>(s.balancedAccuracy),
        static_cast<double>(s.restAsNone), static_cast<double>(s.onsetMs),
        static_cast<double>(s.onsetP90Ms), s.onsetsReported, s.onsets,
        static_cast<double>(s.releaseMs), s.releasesReported, s.releases,
        static_cast<double>(s.switchMs), s.switchesReported, s.switches, s.quickChanges,
        s.changes);
}

std::vector<std::string> parseWords(const std::string& text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = text.find(',', at);
        const std::size_t end = comma == std::string::npos ? text.size() : comma;
        if (end > at) {
            words.push_back(text.substr(at, end - at));
        }
        at = end + 1;
    }
    return words;
}

// Each person of the set through the real server: recorded once, then
// identified in every mode, with 4 and with all 5 gestures.
int runLive(const std::string& dev, const std::string& only, identify_eval::LiveRun live,
            const std::string& modes, const std::string& keep,
            identify_eval::EvaluationOptions options) {
    std::printf("%s\n\n", identify_eval::kDevSetAttribution);
    std::printf("| gestures | who | method | bal.acc | rest-as-none | onset ms median / p90 (found) | "
                "release ms (found) | changes <100 ms |\n|---|---|---|---|---|---|---|---|\n");
    for (const std::string& person : identify_eval::devPeople(dev)) {
        if (!only.empty() && only != person) {
            continue;
        }
        identify_eval::DevPerson loaded;
        std::string error;
        if (!identify_eval::loadDevPerson(dev, person, loaded, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::string directory = (keep.empty() ? std::string("/tmp") : keep) + "/live-" + person + "-XXXXXX";
        if (mkdtemp(directory.data()) == nullptr) {
            std::fprintf(stderr, "no working directory\n");
            return 1;
        }
        live.directory = directory;
        if (!identify_eval::recordLive(live, loaded, error)) {
            std::fprintf(stderr, "%s: recording failed: %s\n", person.c_str(), error.c_str());
            return 1;
        }
        for (const std::vector<int>& gestures :
             {std::vector<int>{1, 2, 3, 4}, std::vector<int>{1, 2, 3, 4, 5}}) {
            options.gestures = gestures;
            const identify_eval::LabelledStream stream =
                identify_eval::devTestStream(loaded.stream, gestures);
            const std::string set = std::to_string(gestures.size());
            for (const std::string& mode : parseWords(modes)) {
                identify_eval::Answers answers;
                if (!identify_eval::identifyLive(live, loaded, gestures, mode, answers, error)) {
                    std::fprintf(stderr, "%s %s: %s\n", person.c_str(), mode.c_str(), error.c_str());
                    continue;
                }
                printRow(set + " | " + person, mode.c_str(),
                         identify_eval::score(stream, answers, gestures));
                std::fflush(stdout);
            }
            const Evaluated offline = identify_eval::evaluateDevPerson(loaded, options);
            printRow(set + " | " + person, "yardstick", offline.yardstick);
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    identify_eval::EvaluationOptions options;
    std::string only;
    std::string dev;
    identify_eval::LiveRun live;
    std::string modes = "exact,calibrated";
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        const double number = std::atof(value.c_str());
        if (name == "--gestures") {
            options.gestures = parseList(value);
        } else if (name == "--seed") {
            options.seed = std::strtoull(value.c_str(), nullptr, 10);
        } else if (name == "--profile") {
            only = value;
        } else if (name == "--dev") {
            dev = value;
        } else if (name == "--day-level") {
            options.dayLevel = static_cast<float>(number);
        } else if (name == "--live") {
            live.server = value;
        } else if (name == "--modes") {
            modes = value;
        } else if (name == "--speed") {
            live.identifySpeed = number;
        } else if (name == "--keep") {
            keep = value;
        } else {
            std::fprintf(stderr, "unknown option %s\n", name.c_str());
            return 2;
        }
    }
    std::vector<Evaluated> results;
    if (!live.server.empty()) {
        return runLive(dev, only, live, modes, keep, options);
    }
    if (!dev.empty()) {
        std::printf("%s\n", identify_eval::kDevSetAttribution);
        for (const std::string& person : identify_eval::devPeople(dev)) {
            if (!only.empty() && only != person) {
                continue;
            }
            identify_eval::DevPerson loaded;
            std::string error;
            if (!identify_eval::loadDevPerson(dev, person, loaded, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
            results.push_back(identify_eval::evaluateDevPerson(loaded, options));
        }
    } else {
        for (const tessel::sim::WearerProfile& profile : tessel::sim::wearerProfiles()) {
            if (only.empty() || only == profile.name) {
                results.push_back(identify_eval::evaluateProfile(profile, options));
            }
        }
    }
    std::printf(
        "\n| who      | method     | bal.acc | rest-as-none | onset ms median / p90 (found) | "
        "release ms (found) | switch ms (found) | changes <100 ms |\n|---|---|---|---|---|---|---|---|\n");
    Score sums[3];
    float offline = 0.0f;
    int trained = 0;
    for (const auto& e : results) {
        if (!e.trained) {
            std::printf("| %-8s | not trained |\n", e.name.c_str());
            continue;
        }
        if (dev.empty()) {
            std::printf("| %-8s | level on the day of identification x%.2f |\n", e.name.c_str(),
                        static_cast<double>(e.dayLevel));
        }
        printRow(e.name, "exact", e.exact);
        printRow(e.name, "calibrated", e.calibrated);
        printRow(e.name, "yardstick", e.yardstick);
        const Score* each[3] = {&e.exact, &e.calibrated, &e.yardstick};
        for (int m = 0; m < 3; ++m) {
            sums[m].balancedAccuracy += each[m]->balancedAccuracy;
            sums[m].restAsNone += each[m]->restAsNone;
            sums[m].onsetMs += each[m]->onsetMs;
            sums[m].onsetP90Ms += each[m]->onsetP90Ms;
            sums[m].releaseMs += each[m]->releaseMs;
        }
        offline += e.yardstickOffline;
        ++trained;
    }
    if (trained > 0) {
        const char* names[3] = {"exact", "calibrated", "yardstick"};
        for (int m = 0; m < 3; ++m) {
            const float n = static_cast<float>(trained);
            std::printf("| mean     | %-10s | %5.3f | %5.3f | %4.0f / %4.0f | %4.0f |\n", names[m],
                        static_cast<double>(sums[m].balancedAccuracy / n),
                        static_cast<double>(sums[m].restAsNone / n),
                        static_cast<double>(sums[m].onsetMs / n),
                        static_cast<double>(sums[m].onsetP90Ms / n),
                        static_cast<double>(sums[m].releaseMs / n));
        }
        std::printf("yardstick offline (each window at its centre): mean %.3f\n",
                    static_cast<double>(offline / static_cast<float>(trained)));
    }
    return 0;
}
