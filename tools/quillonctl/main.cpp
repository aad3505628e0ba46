// quillonctl: the command line client of the Quillon server.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/quillonctl/arguments.h"
#include "tools/quillonctl/command_table.h"
#include "tools/quillonctl/commands.h"
#include "tools/quillonctl/interrupt.h"

namespace {

// The longest wait for the WebSocket connection itself.
constexpr std::chrono::seconds kLongestConnect{10};

int runOnServer(const Invocation& invocation) {
    Session session(invocation);
    std::string error;
    if (!session.link.open(
            invocation.host, invocation.port,
            std::min<std::chrono::milliseconds>(invocation.waitLimit(), kLongestConnect), error)) {
        return fail(error);
    }
    switch (invocation.command->id) {
        case CommandId::Ping:
            return runPing(session);
        case CommandId::Scan:
            return runScan(session);
        case CommandId::Connect:
            return runConnect(session);
        case CommandId::Disconnect:
            return runDisconnect(session);
        case CommandId::Version:
            return runVersion(session);
        case CommandId::Config:
            return runConfig(session);
        case CommandId::Exit:
            return runExit(session);
        case CommandId::GestureStream:
            return runGestureStream(session);
        case CommandId::Identify:
            return runIdentify(session);
        case CommandId::Record:
            return runRecord(session);
        case CommandId::Generate:
            return runGenerate(session);
        case CommandId::Upload:
            return runUpload(session);
        case CommandId::Watch:
            return runWatch(session);
        case CommandId::Send:
            return runSend(session);
        case CommandId::Demo:
            return runDemo(session);
        case CommandId::StopGestureStream:
        case CommandId::StopRecord:
        case CommandId::StopGenerate:
        case CommandId::StopUpload:
        case CommandId::StopIdentify:
            return runStop(session);
        case CommandId::Help:
        case CommandId::Sim:
        case CommandId::Recordings:
        case CommandId::Evaluate:
        case CommandId::Export:
        case CommandId::Delete:
        case CommandId::Names:
            break;
    }
    return fail("internal error: the command has no runner");
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    Invocation invocation;
    std::string error;
    if (!parseArguments(arguments, invocation, error)) {
        std::fprintf(stderr, "quillonctl: %s\n", error.c_str());
        return kExitUsage;
    }
    if (invocation.command->id == CommandId::Help) {
        const std::string text =
            invocation.helpTopic != nullptr ? commandHelpText(*invocation.helpTopic) : usageText();
        std::fputs(text.c_str(), stdout);
        return kExitOk;
    }
    installInterruptHandler();
    switch (invocation.command->id) {
        case CommandId::Sim:
            return runSim(invocation);
        case CommandId::Recordings:
            return runRecordings(invocation);
        case CommandId::Evaluate:
            return runEvaluate(invocation);
        case CommandId::Export:
            return runExport(invocation);
        case CommandId::Delete:
            return runDelete(invocation);
        case CommandId::Names:
            return runNames(invocation);
        default:
            break;
    }
    return runOnServer(invocation);
}
