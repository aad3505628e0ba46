#include "base/log.h"
#include "pipeline/model_generation.h"
#include "pipeline/model_provenance.h"
#include "server/commands/client_commands.h"
#include "server/commands/command_handlers.h"
#include "server/state/server_context.h"
#include "store/model_image.h"

namespace {

// Training, on the background worker: the recordings as read, the model, and
// what it was trained on beside it.
std::vector<std::uint8_t> train(std::uint8_t gestures, std::uint8_t channels,
                                std::stop_token stop) {
    std::vector<std::uint8_t> answer{GENERATE_MODEL};
    // What training reads, described before it reads it; kept beside the new
    // model with its fingerprint, so that the two are known to belong together.
    ModelProvenance trained = describeModelSources(channels, gestures);
    generateModelFromRecordings(gestures, channels, answer, stop);
    if (answer.size() == 2 && answer[1] == STATUS_OK) {
        trained.modelFingerprint = modelFileFingerprint();
        if (!saveModelProvenance(trained)) {
            logLine("generateModel, %s could not be written", kModelProvenanceFileName);
        }
    }
    return answer;
}

}  // namespace

void commandGenerateModel(ServerContext& server, const CommandFrame& frame, Response& response) {
    response.push_back(GENERATE_MODEL);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    if (server.training.running) {
        logLine("GENERATE_MODEL refused: a training is under way");
        response.push_back(STATUS_WRONG_MODE);
        return;
    }
    const std::uint8_t gestures = server.acquisition.gestureMask;
    const std::uint8_t channels = server.acquisition.channelMask;
    server.training = ServerContext::Training{true, frame.origin, std::stop_source()};
    server.inBackground(
        [gestures, channels](std::stop_token stop) { return train(gestures, channels, stop); },
        [&server](std::vector<std::uint8_t> answer) {
            const ServerContext::Training finished = server.training;
            server.training = ServerContext::Training{};
            const bool trained = answer.size() == 2 && answer[1] == STATUS_OK;
            if (finished.stop.stop_requested() && !trained) {
                answer = {GENERATE_MODEL, STATUS_STOPPED};  // nothing was written
            }
            // The training's one final answer, to whoever started it: 0A FD when
            // a stop ended it, 0A 00 when it had written its model before the
            // stop came.
            server.clientRegistry.answer(finished.owner, answer.data(), answer.size());
            // A running identification loads the new model before its next window.
            const AcquisitionState& state = server.acquisition;
            if (trained && state.dataMode == IDENTIFY_MODE) {
                server.identify.loadModel(IdentifyRun{state.identifyWindowLength / 130,
                                                      state.identifyRunMode, state.gestureMask});
            }
        },
        server.training.stop);
}

void commandStopGenerateModel(ServerContext& server, const CommandFrame& frame,
                              Response& response) {
    response.push_back(GENERATE_MODEL);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    // A training under way stops, its model as it was; its own final answer
    // comes when the worker has let go of it.
    ServerContext::Training& training = server.training;
    if (training.running && !training.stop.stop_requested()) {
        logLine("STOP_GENERATE_MODEL, the training under way stops");
        training.stop.request_stop();
    }
    response.push_back(STATUS_STOPPED);
}

void commandModelUpdate(ServerContext& server, const CommandFrame& frame, Response& response) {
    logLine("Start model update...");
    response.push_back(MODEL_UPDATE);
    if (frame.length != 1) {
        logLine("MODEL_UPDATE CMD lenght error");
        response.push_back(STATUS_BAD_LENGTH);
        return;
    }
    // "model.bin" is rewritten only for an upload that the armband can take.
    const std::uint8_t present = server.handle->settingStatus("MODEL_UPDATE");
    if (present != STATUS_OK) {
        response.push_back(present);
        return;
    }
    const AcquisitionState& state = server.acquisition;
    struct Prepared {
        std::uint8_t status = STATUS_OK;
        std::vector<std::uint8_t> image;
    };
    server.inBackground(
        [mask = state.channelMask, gestures = state.gestureCount,
         channels = state.channelCount](std::stop_token) {
            Prepared prepared;
            prepared.status = prepareModelImage(mask, gestures, channels, prepared.image);
            return prepared;
        },
        [&server, origin = frame.origin](Prepared prepared) {
            std::uint8_t status = prepared.status;
            if (status == STATUS_OK) {
                // Progress and the outcome come later as notifications 0x0D and 0x0C.
                status = server.handle->trainModelUpdate(
                    static_cast<std::uint32_t>(prepared.image.size()), prepared.image.data(),
                    origin);
            }
            if (status != STATUS_OK) {
                const std::uint8_t answer[] = {MODEL_UPDATE, status};
                server.clientRegistry.answer(origin, answer, sizeof answer);
            }
        });
}

void commandStopModelUpdate(ServerContext&, const CommandFrame& frame, Response& response) {
    // The upload is not interrupted.
    response.push_back(MODEL_UPDATE);
    response.push_back(frame.length == 1 ? STATUS_STOPPED : STATUS_FAILED);
}
