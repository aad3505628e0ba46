// sim WORDS: one command to the simulated armband's wearer control, which
// answers every text message with one beginning "ok" or "error: ".
#include "tools/client/ws_client.h"
#include "tools/quillonctl/command_table.h"
#include "tools/quillonctl/commands.h"

int runSim(const Invocation& invocation) {
    const std::string where = invocation.host + ":" + std::to_string(invocation.simPort);
    WsClient client;
    WsConnectOptions options;
    options.timeout =
        std::min<std::chrono::milliseconds>(invocation.waitLimit(), std::chrono::seconds(10));
    std::string reason;
    if (!client.connect(invocation.host, invocation.simPort, reason, options)) {
        return fail("cannot reach the simulated armband's wearer control at " + where +
                    " (is the server running with the simulated armband?): " + reason);
    }
    client.sendText(invocation.simCommand);
    const auto deadline = Clock::now() + invocation.waitLimit();
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        auto answer = left.count() > 0 ? client.receive(left) : std::nullopt;
        if (!answer) {
            return fail("no answer from the wearer control at " + where + " within " +
                        std::to_string(invocation.waitLimit().count() / 1000) + " s");
        }
        if (answer->binary) {
            continue;
        }
        const std::string text(answer->bytes.begin(), answer->bytes.end());
        if (text.rfind("error: ", 0) == 0) {
            return fail("the wearer control answered: " + text);
        }
        say(text);
        return text.rfind("ok", 0) == 0 ? kExitOk : kExitFailed;
    }
}
