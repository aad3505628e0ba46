// The HTTP API as any page or program could call it: every request, whatever
// its method, target, Origin, Host, header and body, gets one of the API's
// answers; a page of another site is refused before anything runs, and a
// request without the header never changes anything.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "api/api_router.h"
#include "device/acquisition_state.h"
#include "fuzz/fuzz_support.h"
#include "server/origin_policy.h"
#include "server/web_assets.h"

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
        case 507:
            return true;
        default:
            return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzWorkingDirectory();
    channelMask.store(0x03);
    channelCount.store(2);
    gestureMask.store(0x03);
    gestureCount.store(2);
    return 0;
}

// Fields, each ending at a line feed: flags, method, target, origin, host,
// the X-Quillon-Request header, then the body (the rest).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t flags = input.byte();
    ApiRequest request;
    request.method = std::string(input.until('\n'));
    request.target = std::string(input.until('\n'));
    request.hasOrigin = (flags & 1) != 0;
    request.origin = std::string(input.until('\n'));
    request.host = std::string(input.until('\n'));
    request.quillonRequest = std::string(input.until('\n'));
    request.body = std::string(input.bytes(size));
    dataMode.store((flags >> 1) % 4);

    const bool originAllowed = isOriginAllowed(request.hasOrigin, request.origin, request.host);
    if (request.hasOrigin && originAllowed) {
        std::string scheme = request.origin.substr(0, 8);
        for (char& c : scheme) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        fuzzCheck(scheme.starts_with("http://") || scheme == "https://",
                  "an allowed origin is http or https");
    }
    findWebAsset(request.target);
    if (!isApiTarget(request.target)) {
        return 0;
    }
    makeRecordings();
    const ApiResponse response = handleApiRequest(request);
    fuzzCheck(knownStatus(response.status), "one of the API's answers");
    fuzzCheck(response.body != nullptr, "every answer has a body");
    fuzzCheck(originAllowed || response.status == 403, "other sites are refused");
    const bool reads = request.method == "GET" || request.method == "HEAD";
    fuzzCheck(reads || request.quillonRequest == "1" || response.status != 200,
              "no change without the header");
    fuzzCheck(reads || dataMode.load() == IDLE_MODE || response.status != 200,
              "no change while busy");
    return 0;
}
