// generate and upload: the long requests, shown with a spinner and a progress
// bar while the server works.
#include <algorithm>

#include "protocol/wire.h"
#include "tools/client/message_text.h"
#include "tools/quillonctl/commands.h"
#include "tools/quillonctl/protocol_steps.h"
#include "tools/quillonctl/status_line.h"

namespace {

constexpr std::chrono::milliseconds kUploadRedraw{100};
constexpr std::chrono::seconds kUploadPlainInterval{10};
constexpr int kUploadBarCells = 30;

std::chrono::milliseconds since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

}  // namespace

int generateModel(Session& session, std::chrono::milliseconds& took) {
    const auto sent = Clock::now();
    const std::uint16_t command = session.link.send({GENERATE_MODEL});
    StatusLine line(stdout, session.terminal, kUploadPlainInterval);
    unsigned tick = 0;
    auto nextRedraw = Clock::now();
    for (;;) {
        const auto now = Clock::now();
        if (now >= nextRedraw) {
            const std::string elapsed = secondsText(since(sent));
            line.show(session.terminal ? std::string("generating the model ") +
                                             spinnerFrame(tick++) + " " + elapsed
                                       : "generating the model ... " + elapsed,
                      now);
            nextRedraw = now + kUploadRedraw;
        }
        ServerMessage message;
        const WaitOutcome outcome =
            session.link.next(std::min(nextRedraw, session.deadline()), message);
        if (outcome == WaitOutcome::TimedOut && Clock::now() < session.deadline()) {
            continue;
        }
        if (outcome != WaitOutcome::Message) {
            line.finish();
            return waitFailed(session, outcome, "the answer to GENERATE_MODEL (0A)",
                              "the server may still be training (stop-generate stops it)");
        }
        const Bytes& answer = message.bytes;
        if (!message.answers(command) || answer.size() < 2 || answer[0] != GENERATE_MODEL) {
            continue;
        }
        line.finish();
        took = since(sent);
        if (answer == Bytes{GENERATE_MODEL, STATUS_STOPPED}) {
            return fail("the model generation was stopped by another client (0A FD)");
        }
        if (answer == Bytes{GENERATE_MODEL, STATUS_WRONG_MODE}) {
            return fail("another model generation is under way (0A FC): wait for its end");
        }
        const Bytes statuses(answer.begin() + 1, answer.end());
        const std::string words = generateOutcomeText(statuses);
        if (!generateSucceeded(statuses)) {
            return fail("model generation failed after " + secondsText(took) + ": " + words);
        }
        return kExitOk;
    }
}

int runGenerate(Session& session) {
    std::chrono::milliseconds took{0};
    const int status = generateModel(session, took);
    if (status == kExitOk) {
        say("model trained in " + secondsText(took) +
            " (0A 00): W&B.txt in the server's working directory; `quillonctl upload` sends it "
            "to the armband");
    }
    return status;
}

int uploadModel(Session& session, UploadSummary& summary) {
    summary = UploadSummary{};
    const auto sent = Clock::now();
    const std::uint16_t command = session.link.send({MODEL_UPDATE});
    StatusLine line(stdout, session.terminal, kUploadPlainInterval);
    int percentage = -1;
    for (;;) {
        ServerMessage message;
        const WaitOutcome outcome = session.link.next(session.deadline(), message);
        if (outcome != WaitOutcome::Message) {
            line.finish();
            return waitFailed(session, outcome,
                              percentage < 0 ? "the upload's progress (0D) or its refusal (0C)"
                                             : "the end of the upload (0C 00)",
                              percentage < 0
                                  ? "the server says nothing when no armband is connected "
                                    "(`quillonctl scan`, `connect`)"
                                  : "");
        }
        const Bytes& answer = message.bytes;
        if (answer.size() != 2) {
            continue;
        }
        if (!message.own && answer[0] == kNotifyUploadProgress) {
            percentage = answer[1];
            summary.percentage = percentage;
            line.show("uploading the model " +
                          progressBar(static_cast<float>(percentage) / 100.0f, kUploadBarCells) +
                          " " + std::to_string(percentage) + "%",
                      Clock::now(), true);
            continue;
        }
        if (!message.answers(command) || answer[0] != kNotifyUploadDone) {
            continue;
        }
        line.finish();
        summary.took = since(sent);
        if (answer[1] != STATUS_OK) {
            return fail(uploadOutcomeText(answer[1]));
        }
        return kExitOk;
    }
}

int runUpload(Session& session) {
    UploadSummary summary;
    const int status = uploadModel(session, summary);
    if (status == kExitOk) {
        say("model uploaded in " + secondsText(summary.took) +
            " (0C 00): the armband has the new model; the server kept the image as model.bin");
    }
    return status;
}
