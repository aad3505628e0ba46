// The stop commands. Each is answered at once with the code of the command it
// ends; the answer is the stop's own, since a stream's reports (10 with a
// gesture, 08 with a gesture number) and other clients' answers share that code.
#include "protocol/wire.h"
#include "tools/client/message_text.h"
#include "tools/quillonctl/command_table.h"
#include "tools/quillonctl/commands.h"

namespace {

struct StopSpec {
    CommandId id;
    std::uint8_t command;
    std::uint8_t answerCode;
    const char* name;
    const char* done;
    const char* refused;  // what a failure status means here
};

constexpr StopSpec kStops[] = {
    {CommandId::StopGestureStream, STOP_GESTURE_STREAM, START_GESTURE_STREAM, "STOP_GESTURE_STREAM",
     "gesture stream stopped", "no gesture stream was running"},
    {CommandId::StopRecord, STOP_RECORD, START_RECORD, "STOP_RECORD",
     "recording stopped; nothing was written", "no recording was under way"},
    {CommandId::StopGenerate, STOP_GENERATE_MODEL, GENERATE_MODEL, "STOP_GENERATE_MODEL",
     "stopped; a training under way writes nothing", "refused"},
    {CommandId::StopUpload, STOP_MODEL_UPDATE, MODEL_UPDATE, "STOP_MODEL_UPDATE",
     "acknowledged; an upload under way goes on to its end", "refused"},
    {CommandId::StopIdentify, STOP_IDENTIFY, START_IDENTIFY, "STOP_IDENTIFY",
     "identification stopped (a recording or gesture stream stops with it)", "refused"},
};

bool isStopAnswer(const Bytes& message, std::uint8_t code) {
    // A stop is answered with STATUS_STOPPED or a failure status, never with
    // a gesture (1 to 8 for identification, the armband's 0 to 15 otherwise).
    return message.size() == 2 && message[0] == code && message[1] >= kLowestFailureStatus;
}

}  // namespace

int runStop(Session& session) {
    const StopSpec* stop = nullptr;
    for (const StopSpec& candidate : kStops) {
        if (candidate.id == session.invocation.command->id) {
            stop = &candidate;
        }
    }
    if (stop == nullptr) {
        return fail("internal error: no stop command for this subcommand");
    }
    std::uint16_t sent = 0;
    Bytes answer;
    const std::string waitedFor = std::string("the answer to ") + stop->name;
    const WaitOutcome outcome =
        session.link.request({stop->command}, session.deadline(), sent, answer);
    if (outcome != WaitOutcome::Message) {
        return waitFailed(session, outcome, waitedFor);
    }
    if (answer == Bytes{stop->answerCode, STATUS_STOPPED}) {
        say(std::string(stop->done) + " (" + messageLine(answer) + ")");
        return kExitOk;
    }
    if (isStopAnswer(answer, stop->answerCode)) {
        return fail(std::string(stop->refused) + " (" + messageLine(answer) + ")");
    }
    return fail("the server answered " + std::string(stop->name) + " with " +
                (answer.empty() ? std::string("nothing") : messageLine(answer)));
}
