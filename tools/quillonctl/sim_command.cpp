// sim WORDS: one command to the simulated armband's wearer control, which
// answers every text message with one beginning "ok" or "error: ".
#include <algorithm>

#include "tools/quillonctl/command_table.h"
#include "tools/quillonctl/commands.h"
#include "tools/quillonctl/wearer_link.h"

int runSim(const Invocation& invocation) {
    WearerLink wearer;
    std::string error;
    if (!wearer.open(
            invocation.host, invocation.simPort,
            std::min<std::chrono::milliseconds>(invocation.waitLimit(), std::chrono::seconds(10)),
            error)) {
        return fail(error);
    }
    std::string answer;
    if (!wearer.command(invocation.simCommand, invocation.waitLimit(), answer, error)) {
        return fail(error);
    }
    if (answer.rfind("error: ", 0) == 0) {
        return fail("the wearer control answered: " + answer);
    }
    say(answer);
    return answer.rfind("ok", 0) == 0 ? kExitOk : kExitFailed;
}
