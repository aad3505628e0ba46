#include "pipeline/evaluation_cache.h"
#include "server/api/api_resources.h"
#include "server/api/json_response.h"
#include "server/state/server_context.h"
#include "signal/fold_plan.h"
#include "store/gesture_name_file.h"

namespace {

const char* warningKind(EvaluationWarning::Kind kind) {
    switch (kind) {
        case EvaluationWarning::Kind::recordAgain:
            return "tooFewActiveWindows";
        case EvaluationWarning::Kind::noActivity:
            return "noActivity";
        case EvaluationWarning::Kind::noRest:
            return "noRest";
        case EvaluationWarning::Kind::confused:
            return "confused";
    }
    return "unknown";
}

nlohmann::json onlineJson(const ReplayCounts& counts) {
    return {{"activeErrorRate", orNull(activeErrorRate(counts))},
            {"instability", orNull(instability(counts))},
            {"holdDecisions", counts.holdDecisions},
            {"errors", counts.errors},
            {"missed", counts.missed},
            {"changes", counts.changes},
            {"holdSeconds", counts.holdSeconds}};
}

nlohmann::json evaluationJson(const CachedEvaluation& result, const GestureNameList& names) {
    const Evaluation& evaluation = result.evaluation;
    nlohmann::json out;
    out["evaluated"] = evaluation.evaluated;
    out["problem"] =
        evaluation.evaluated ? nlohmann::json(nullptr) : nlohmann::json(evaluation.problem);
    out["folds"] = kFolds;
    out["identifyMode"] = identifyModeName(evaluation.mode);
    out["channels"] = evaluation.channels;
    out["gestures"] = nlohmann::json::array();
    for (const GestureEvaluation& g : evaluation.perGesture) {
        out["gestures"].push_back({{"gesture", g.gesture},
                                   {"name", names[static_cast<std::size_t>(g.gesture - 1)]},
                                   {"activeWindows", g.activeWindows},
                                   {"activity", activityFindingName(g.finding)},
                                   {"recall", orNull(g.recall)},
                                   {"precision", orNull(g.precision)},
                                   {"online", onlineJson(g.online)}});
    }
    // Rest first, then the gestures in position order; the matrix's rows and
    // columns follow the same order.
    const ConfusionMatrix& confusion = evaluation.confusion;
    out["classes"] = nlohmann::json::array();
    out["classes"].push_back({{"gesture", 0},
                              {"name", "Rest"},
                              {"recall", orNull(confusion.recall(0))},
                              {"precision", orNull(confusion.precision(0))}});
    for (std::size_t k = 0; k < evaluation.gestures.size(); ++k) {
        const int gesture = evaluation.gestures[k];
        out["classes"].push_back({{"gesture", gesture},
                                  {"name", names[static_cast<std::size_t>(gesture - 1)]},
                                  {"recall", orNull(confusion.recall(k + 1))},
                                  {"precision", orNull(confusion.precision(k + 1))}});
    }
    nlohmann::json counts = nlohmann::json::array();
    for (std::size_t r = 0; r < confusion.classes(); ++r) {
        nlohmann::json row = nlohmann::json::array();
        for (std::size_t c = 0; c < confusion.classes(); ++c) {
            row.push_back(confusion.count(r, c));
        }
        counts.push_back(row);
    }
    out["confusion"] = counts;
    out["windowsTested"] = confusion.total();
    out["accuracy"] = orNull(confusion.accuracy());
    out["online"] = onlineJson(evaluation.online);
    out["mostConfused"] = nullptr;
    if (evaluation.mostConfused) {
        const auto& pair = *evaluation.mostConfused;
        out["mostConfused"] = {
            {"gestures",
             {evaluation.gestures[pair.first - 1], evaluation.gestures[pair.second - 1]}},
            {"windows", pair.windows}};
    }
    out["warnings"] = nlohmann::json::array();
    for (const EvaluationWarning& warning : evaluation.warnings) {
        out["warnings"].push_back({{"kind", warningKind(warning.kind)},
                                   {"gestures", warning.gestures},
                                   {"text", warning.text}});
    }
    out["milliseconds"] = result.milliseconds;
    out["cached"] = result.fromCache;
    return out;
}

}  // namespace

void getEvaluation(ServerContext& server, ApiReply reply) {
    const std::uint8_t gestures = server.acquisition.gestureMask;
    const std::uint8_t channels = server.acquisition.channelMask;
    const IdentifyMode mode = server.identifyMode;
    server.inBackground(
        [&cache = server.evaluation, gestures, channels, mode](std::stop_token stop) {
            // The cache is the worker's alone.
            return cache.evaluate(gestures, channels, mode, stop);
        },
        [reply](CachedEvaluation result) {
            reply(jsonResponse(200, evaluationJson(result, loadGestureNames())));
        });
}
