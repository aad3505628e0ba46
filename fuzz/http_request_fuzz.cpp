// The HTTP API as any page or program could call it: every request, whatever
// its method, target, Origin, Host, peer, token, header and body, gets one of
// the API's answers once the access checks let it through; those let through
// only pages of the server's own origin addressed to a name it answers to, and
// a peer beyond loopback only with the token; a request without the header
// never changes anything.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <optional>

#include "fuzz/fuzz_support.h"
#include "server/api/api_router.h"
#include "server/net/access_policy.h"
#include "server/net/web_assets.h"
#include "server/server.h"

namespace {

// Two recordings of two channels, each with its window log, so that the
// inventory and the exports have something to show; a DELETE may remove them.
void makeRecordings() {
    for (const char* gesture : {"1", "2"}) {
        const std::string raw = std::string("raw") + gesture + ".bin";
        if (std::FILE* probe = std::fopen(raw.c_str(), "rb")) {
            std::fclose(probe);
            continue;
        }
        std::string bytes(2 * 130 * 6, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>((i * 37 + (i / 260) * 90) & 0xFF);
        }
        std::FILE* file = std::fopen(raw.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        const std::string log = "0 " + std::to_string(bytes.size()) + " 3 1700000000\n";
        file = std::fopen((std::string("raw") + gesture + ".windows").c_str(), "wb");
        std::fwrite(log.data(), 1, log.size(), file);
        std::fclose(file);
    }
}

bool knownStatus(int status) {
    switch (status) {
        case 200:
        case 400:
        case 403:
        case 404:
        case 405:
        case 409:
        case 413:
        case 415:
        case 422:
            return true;
        default:
            return false;
    }
}

}  // namespace

// The server's state the requests are carried out on. libFuzzer calls its
// entry points without a context, so it lives here for the whole run.
ServerContext& server() {
    static ServerContext* made = [] {
        auto* context = new ServerContext(nullptr);
        context->acquisition.configure(0x03, 0x03);
        return context;
    }();
    return *made;
}

// The response, once the main loop (played here) has handed it over.
ApiResponse carryOut(const ApiRequest& request) {
    ServerContext& context = server();
    const EventHandlers handlers = serverEventHandlers(context, nullptr);
    std::optional<ApiResponse> response;
    handleApiRequest(context, request, [&response](ApiResponse answer) { response = answer; });
    while (!response) {
        const Event event = context.eventQueue.pop();
        dispatchEvent(event, handlers);
    }
    return *response;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzWorkingDirectory();
    server();
    return 0;
}

// Fields, each ending at a line feed: flags, method, target, origin, host,
// peer address, token header, the X-Quillon-Request header, then the body (the rest).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t flags = input.byte();
    ApiRequest request;
    request.method = std::string(input.until('\n'));
    request.target = std::string(input.until('\n'));
    const std::string origin(input.until('\n'));
    const std::string host(input.until('\n'));
    const std::string peer(input.until('\n'));
    const std::string token(input.until('\n'));
    request.quillonRequest = std::string(input.until('\n'));
    request.body = std::string(input.bytes(size));
    server().acquisition.dataMode = (flags >> 1) % 4;

    AccessPolicy policy;
    policy.network = (flags & 8) != 0;
    policy.token = "secret";
    AccessRequest asked;
    asked.peerAddress = peer;
    asked.localAddress = "192.0.2.2";
    asked.host = host;
    if ((flags & 1) != 0) {
        asked.origin = origin;
    }
    asked.target = request.target;
    asked.tokenHeader = token;
    const AccessVerdict verdict = checkAccess(policy, asked);
    if (verdict.status == 0) {
        fuzzCheck(!asked.origin || normalisedOrigin(*asked.origin).starts_with("http"),
                  "an allowed origin is http or https");
        fuzzCheck(!policy.network || isLoopbackAddress(peer) || token == policy.token ||
                      request.target.find("token=secret") != std::string::npos,
                  "beyond loopback only with the token");
    } else {
        fuzzCheck(verdict.status == 400 || verdict.status == 401 || verdict.status == 403 ||
                      verdict.status == 421,
                  "a refusal is 400, 401, 403 or 421");
        return 0;
    }
    findWebAsset(request.target);
    if (!isApiTarget(request.target)) {
        return 0;
    }
    makeRecordings();
    const ApiResponse response = carryOut(request);
    fuzzCheck(knownStatus(response.status), "one of the API's answers");
    fuzzCheck(response.body != nullptr, "every answer has a body");
    const bool reads = request.method == "GET" || request.method == "HEAD";
    fuzzCheck(reads || request.quillonRequest == "1" || response.status != 200,
              "no change without the header");
    fuzzCheck(reads || server().acquisition.dataMode == IDLE_MODE || response.status != 200,
              "no change while busy");
    if (response.stream) {
        // An export hands out exactly the length it announced.
        const std::uint64_t length = response.stream->length();
        std::uint64_t sent = 0;
        std::string piece;
        while (response.stream->next(piece) && !piece.empty()) {
            sent += piece.size();
        }
        fuzzCheck(sent == length, "an export is as long as it says");
    }
    return 0;
}
