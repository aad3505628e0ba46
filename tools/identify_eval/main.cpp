// quillon-identify-eval: how live identification fares, in both modes, beside
// the yardstick (LDA on the time-domain features, rest as a class):
//
//   quillon-identify-eval [--profile NAME] [--gestures 1,2,3,4] [--seed N] [--day-level X]
//                         [--held-start S]
//       every simulated wearer profile (or one): recorded on day 1, identified on day 2,
//       at the profile's own level that day or X times the level of day 1; with S, the
//       wearer already holds the first gesture, for S seconds, when identification starts;
//   quillon-identify-eval --dev FOLDER [--profile pNN] [--gestures 1,2,3,4,5]
//       the people of a development set of real EMG: series 1 trained on, series 2 identified;
//   quillon-identify-eval --dev FOLDER --live SERVER [--profile pNN] [--modes exact,calibrated]
//                         [--speed X] [--keep DIR]
//       the same through a real server binary and its simulated armband replaying the files,
//       with 4 and with all 5 gestures.
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/identify_eval/evaluation.h"
#include "tools/identify_eval/live_run.h"

namespace {

using identify_eval::Evaluated;
using identify_eval::Score;

struct Arguments {
    identify_eval::EvaluationOptions options;
    bool gesturesGiven = false;
    std::string only;  // one profile or person
    std::string dev;
    identify_eval::LiveRun live;
    std::vector<std::string> modes{"exact", "calibrated"};
    std::string keep = "/tmp";
};

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

bool parseArguments(int argc, char** argv, Arguments& arguments, std::string& error) {
    for (int i = 1; i < argc; i += 2) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            error = name + " needs a value";
            return false;
        }
        const std::string value = argv[i + 1];
        const double number = std::atof(value.c_str());
        if (name == "--gestures") {
            arguments.options.gestures.clear();
            for (const std::string& word : parseWords(value)) {
                const int gesture = std::atoi(word.c_str());
                if (gesture < 1 || gesture > 15) {
                    error = "gestures are 1 to 15: " + value;
                    return false;
                }
                arguments.options.gestures.push_back(gesture);
            }
            arguments.gesturesGiven = true;
        } else if (name == "--seed") {
            arguments.options.seed = std::strtoull(value.c_str(), nullptr, 10);
        } else if (name == "--day-level" && number > 0.0) {
            arguments.options.dayLevel = static_cast<float>(number);
        } else if (name == "--held-start" && number > 0.0) {
            arguments.options.heldAtStart = static_cast<float>(number);
        } else if (name == "--profile") {
            arguments.only = value;
        } else if (name == "--dev") {
            arguments.dev = value;
        } else if (name == "--live") {
            arguments.live.server = value;
        } else if (name == "--modes") {
            arguments.modes = parseWords(value);
        } else if (name == "--speed" && number > 0.0) {
            arguments.live.identifySpeed = number;
        } else if (name == "--keep") {
            arguments.keep = value;
        } else {
            error = "unknown option or bad value: " + name + " " + value;
            return false;
        }
    }
    if (arguments.options.gestures.size() < 2) {
        error = "two gestures at least";
        return false;
    }
    if (!arguments.live.server.empty() && arguments.dev.empty()) {
        error = "--live needs --dev";
        return false;
    }
    return true;
}

void printHeader() {
    std::printf(
        "| who | method | bal.acc | rest as no gesture | onset ms median / p90 (found) | "
        "release ms median (found) | switch ms median (found) | report changes within 100 ms "
        "|\n|---|---|---|---|---|---|---|---|\n");
}

void printRow(const std::string& who, const std::string& method, const Score& s) {
    std::printf(
        "| %s | %s | %.3f | %.3f | %.0f / %.0f (%d/%d) | %.0f (%d/%d) | %.0f (%d/%d) | %d of %d "
        "|\n",
        who.c_str(), method.c_str(), static_cast<double>(s.balancedAccuracy),
        static_cast<double>(s.restAsNone), static_cast<double>(s.onsetMs),
        static_cast<double>(s.onsetP90Ms), s.onsetsReported, s.onsets,
        static_cast<double>(s.releaseMs), s.releasesReported, s.releases,
        static_cast<double>(s.switchMs), s.switchesReported, s.switches, s.quickChanges, s.changes);
}

// The mean of each method over the evaluations.
void printMeans(const std::vector<Evaluated>& results) {
    const char* names[] = {"exact", "calibrated", "yardstick"};
    for (int m = 0; m < 3; ++m) {
        Score mean;
        int count = 0;
        for (const Evaluated& e : results) {
            const Score& s = m == 0 ? e.exact : m == 1 ? e.calibrated : e.yardstick;
            if (e.trained) {
                mean.balancedAccuracy += s.balancedAccuracy;
                mean.restAsNone += s.restAsNone;
                mean.onsetMs += s.onsetMs;
                mean.onsetP90Ms += s.onsetP90Ms;
                mean.releaseMs += s.releaseMs;
                mean.switchMs += s.switchMs;
                ++count;
            }
        }
        if (count == 0) {
            return;
        }
        const float n = static_cast<float>(count);
        std::printf("| mean | %s | %.3f | %.3f | %.0f / %.0f | %.0f | %.0f | |\n", names[m],
                    static_cast<double>(mean.balancedAccuracy / n),
                    static_cast<double>(mean.restAsNone / n), static_cast<double>(mean.onsetMs / n),
                    static_cast<double>(mean.onsetP90Ms / n),
                    static_cast<double>(mean.releaseMs / n),
                    static_cast<double>(mean.switchMs / n));
    }
}

void printEvaluated(const std::vector<Evaluated>& results, bool simulated) {
    printHeader();
    for (const Evaluated& e : results) {
        std::string who = e.name;
        if (simulated) {
            char level[32];
            std::snprintf(level, sizeof level, " (day 2 x%.2f)", static_cast<double>(e.dayLevel));
            who += level;
        }
        if (!e.trained) {
            std::printf("| %s | not trained | | | | | | |\n", who.c_str());
            continue;
        }
        printRow(who, "exact", e.exact);
        printRow(who, "calibrated", e.calibrated);
        printRow(who, "yardstick", e.yardstick);
    }
    printMeans(results);
    float offline = 0.0f;
    int count = 0;
    for (const Evaluated& e : results) {
        offline += e.trained ? e.yardstickOffline : 0.0f;
        count += e.trained ? 1 : 0;
    }
    if (count > 0) {
        std::printf(
            "\nThe yardstick offline, each window against the truth at its centre: "
            "balanced accuracy %.3f (mean)\n",
            static_cast<double>(offline / static_cast<float>(count)));
    }
}

// The people of the set to evaluate, loaded; false, with a message, when none
// or a file cannot be read.
bool loadPeople(const Arguments& arguments, std::vector<identify_eval::DevPerson>& people) {
    for (const std::string& name : identify_eval::devPeople(arguments.dev)) {
        if (!arguments.only.empty() && name != arguments.only) {
            continue;
        }
        identify_eval::DevPerson person;
        std::string error;
        if (!identify_eval::loadDevPerson(arguments.dev, name, person, error)) {
            std::fprintf(stderr, "quillon-identify-eval: %s\n", error.c_str());
            return false;
        }
        people.push_back(std::move(person));
    }
    if (people.empty()) {
        std::fprintf(stderr, "quillon-identify-eval: no person (pNN folder) in %s\n",
                     arguments.dev.c_str());
        return false;
    }
    std::printf("%s\n\n", identify_eval::kDevSetAttribution);
    return true;
}

// Each person through the real server: recorded once, then identified in
// every mode, with 4 and with all 5 gestures.
int runLive(Arguments arguments, const std::vector<identify_eval::DevPerson>& people) {
    printHeader();
    for (const identify_eval::DevPerson& person : people) {
        std::string directory = arguments.keep + "/quillon-live-" + person.name + "-XXXXXX";
        if (mkdtemp(directory.data()) == nullptr) {
            std::fprintf(stderr, "quillon-identify-eval: cannot make a directory in %s\n",
                         arguments.keep.c_str());
            return 1;
        }
        arguments.live.directory = directory;
        std::fprintf(stderr, "%s: recording its first series in %s\n", person.name.c_str(),
                     directory.c_str());
        std::string error;
        if (!identify_eval::recordLive(arguments.live, person, error)) {
            std::fprintf(stderr, "quillon-identify-eval: %s: recording failed: %s\n",
                         person.name.c_str(), error.c_str());
            return 1;
        }
        for (const std::vector<int>& gestures :
             {std::vector<int>{1, 2, 3, 4}, std::vector<int>{1, 2, 3, 4, 5}}) {
            arguments.options.gestures = gestures;
            const std::string who = person.name + " (" + std::to_string(gestures.size()) + ")";
            const identify_eval::LabelledStream stream =
                identify_eval::devTestStream(person.stream, gestures);
            for (const std::string& mode : arguments.modes) {
                std::fprintf(stderr, "%s: identifying in %s mode\n", who.c_str(), mode.c_str());
                identify_eval::Answers answers;
                if (!identify_eval::identifyLive(arguments.live, person, gestures, mode, answers,
                                                 error)) {
                    std::fprintf(stderr, "quillon-identify-eval: %s, %s mode: %s\n", who.c_str(),
                                 mode.c_str(), error.c_str());
                    continue;
                }
                printRow(who, mode + " (live)", identify_eval::score(stream, answers, gestures));
            }
            const Evaluated offline = identify_eval::evaluateDevPerson(person, arguments.options);
            printRow(who, "yardstick", offline.yardstick);
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    std::string error;
    if (!parseArguments(argc, argv, arguments, error)) {
        std::fprintf(stderr,
                     "quillon-identify-eval: %s\n(see the comment at the top of "
                     "tools/identify_eval/main.cpp for the options)\n",
                     error.c_str());
        return 2;
    }
    if (arguments.dev.empty()) {
        std::vector<Evaluated> results;
        for (const tessel::sim::WearerProfile& profile : tessel::sim::wearerProfiles()) {
            if (arguments.only.empty() || arguments.only == profile.name) {
                results.push_back(identify_eval::evaluateProfile(profile, arguments.options));
            }
        }
        if (results.empty()) {
            std::fprintf(stderr, "quillon-identify-eval: no profile named %s (%s)\n",
                         arguments.only.c_str(), tessel::sim::wearerProfileList().c_str());
            return 2;
        }
        printEvaluated(results, true);
        return 0;
    }
    std::vector<identify_eval::DevPerson> people;
    if (!loadPeople(arguments, people)) {
        return 1;
    }
    if (!arguments.live.server.empty()) {
        return runLive(arguments, people);
    }
    if (!arguments.gesturesGiven) {
        arguments.options.gestures = {1, 2, 3, 4, 5};
    }
    std::vector<Evaluated> results;
    for (const identify_eval::DevPerson& person : people) {
        results.push_back(identify_eval::evaluateDevPerson(person, arguments.options));
    }
    printEvaluated(results, false);
    return 0;
}
