#include "tools/quillonctl/command_support.h"

#include <cstdio>

#include "tools/client/hex_bytes.h"
#include "tools/client/message_text.h"
#include "tools/quillonctl/status_line.h"

namespace {

constexpr std::size_t kShownBytes = 16;

}  // namespace

Session::Session(const Invocation& invocation)
    : invocation(invocation),
      started(Clock::now()),
      limit(invocation.waitLimit()),
      terminal(stdoutIsTerminal()) {}

void Session::beginStep(std::chrono::milliseconds stepLimit) {
    started = Clock::now();
    limit = stepLimit;
}

std::chrono::milliseconds Session::elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
}

void say(const std::string& line) {
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

int fail(const std::string& problem) {
    std::fflush(stdout);
    std::fprintf(stderr, "quillonctl: %s\n", problem.c_str());
    std::fflush(stderr);
    return kExitFailed;
}

int waitFailed(const Session& session, WaitOutcome outcome, const std::string& waitedFor,
               const std::string& hint) {
    switch (outcome) {
        case WaitOutcome::Interrupted:
            fail("stopped by Ctrl+C while waiting for " + waitedFor);
            return kExitInterrupted;
        case WaitOutcome::Closed:
            return fail("the server closed the connection while quillonctl waited for " +
                        waitedFor);
        default: {
            std::string text =
                "no answer within " + secondsText(session.limit) + ": waited for " + waitedFor;
            if (!hint.empty()) {
                text += "; " + hint;
            }
            return fail(text);
        }
    }
}

std::string timeTag(std::chrono::milliseconds elapsed) {
    std::string text = secondsText(elapsed);
    if (text.size() < 8) {
        text.insert(0, 8 - text.size(), ' ');
    }
    return "[" + text + "]";
}

std::string messageLine(const Bytes& message) {
    return formatHexBytes(message, kShownBytes) + "  " + describeMessage(message);
}

bool serverHttpCall(const Invocation& invocation, const HttpCall& call, HttpReply& reply,
                    std::string& error) {
    std::string reason;
    if (httpCall(invocation.host, invocation.port, call, invocation.waitLimit(), reply, reason)) {
        return true;
    }
    error = unreachableText(invocation.host, invocation.port, reason, 0);
    return false;
}
