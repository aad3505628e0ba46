#include "commands/client_commands.h"
#include "commands/command_handlers.h"
#include "core/log.h"
#include "device/acquisition_state.h"
#include "device/tessel_handle.h"
#include "recordings/model_provenance.h"
#include "training/model_generation.h"
#include "training/model_image.h"

void commandGenerateModel(const CommandFrame& frame, Response& response) {
    response.push_back(GENERATE_MODEL);
    if (frame.length != 1) {
        response.push_back(STATUS_FAILED);
        return;
    }
    const std::uint8_t gestures = gestureMask.load();
    // What training reads, described before it reads it; kept beside the new
    // model with its fingerprint, so that the two are known to belong together.
    ModelProvenance trained = describeModelSources(channelMask.load(), gestures);
    generateModelFromRecordings(gestures, channelMask.load(), response);
    if (response.size() == 2 && response[1] == STATUS_OK) {
        trained.modelFingerprint = modelFileFingerprint();
        if (!saveModelProvenance(trained)) {
            logLine("generateModel, %s could not be written", kModelProvenanceFileName);
        }
    }
}

void commandStopGenerateModel(const CommandFrame& frame, Response& response) {
    // Generation has always finished before this command is read.
    response.push_back(GENERATE_MODEL);
    response.push_back(frame.length == 1 ? STATUS_STOPPED : STATUS_FAILED);
}

void commandModelUpdate(const CommandFrame& frame, Response& response) {
    logLine("Start model update...");
    response.push_back(MODEL_UPDATE);
    if (frame.length != 1) {
        logLine("MODEL_UPDATE CMD lenght error");
        response.push_back(STATUS_BAD_LENGTH);
        return;
    }
    // "model.bin" is rewritten only for an upload that the armband can take.
    std::vector<std::uint8_t> image;
    std::uint8_t status = handle->settingStatus("MODEL_UPDATE");
    if (status == STATUS_OK) {
        status =
            buildModelImage(channelMask.load(), gestureCount.load(), channelCount.load(), image);
    }
    if (status == STATUS_OK) {
        status = saveModelImage(image);
    }
    if (status == STATUS_OK) {
        // Progress and the outcome come later as notifications 0x0D and 0x0C.
        status = handle->trainModelUpdate(static_cast<std::uint32_t>(image.size()), image.data());
    }
    if (status != STATUS_OK) {
        response.push_back(status);
    }
}

void commandStopModelUpdate(const CommandFrame& frame, Response& response) {
    // The upload is not interrupted.
    response.push_back(MODEL_UPDATE);
    response.push_back(frame.length == 1 ? STATUS_STOPPED : STATUS_FAILED);
}
