// The server binary as a web server: the browser client embedded in it, plain
// HTTP beside the WebSocket on port 8888.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/support/http_exchange.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text.h"
#include "tests/support/wire_client.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = fs::path(QUILLON_GOLDEN_DIR).parent_path().parent_path();

std::string expectedType(const fs::path& file) {
    static const std::map<std::string, std::string> types = {
        {".html", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".svg", "image/svg+xml"},
    };
    const auto found = types.find(file.extension().string());
    return found == types.end() ? "?" : found->second;
}

// The files of the client as they lie in the source tree, by the path they are served at.
std::map<std::string, fs::path> clientFiles() {
    std::map<std::string, fs::path> files;
    const fs::path web = kSourceDir / "web";
    for (const auto& entry : fs::directory_iterator(web)) {
        if (entry.is_regular_file()) {
            files["/" + entry.path().filename().string()] = entry.path();
        }
    }
    for (const auto& entry : fs::directory_iterator(web / "js")) {
        files["/js/" + entry.path().filename().string()] = entry.path();
    }
    return files;
}

// This machine's first IPv4 address beyond loopback; empty when it has none.
std::string machineAddress() {
    std::string found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return found;
    }
    for (const ifaddrs* entry = list; entry != nullptr && found.empty(); entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET &&
            (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_LOOPBACK) == 0) {
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr,
                      text, sizeof text);
            found = text;
        }
    }
    freeifaddrs(list);
    return found;
}

HttpResponse requestAt(const std::string& address, std::uint16_t port, const std::string& target,
                       const std::string& headers = {}) {
    const auto responses = parseResponses(
        httpExchange(port,
                     "GET " + target + " HTTP/1.1\r\nHost: " + address + ":" +
                         std::to_string(port) + "\r\nConnection: close\r\n" + headers + "\r\n",
                     address));
    return responses.empty() ? HttpResponse{} : responses.front();
}

// The one response to a request as sent, and whether the server then closed.
HttpResponse onlyAnswerTo(std::uint16_t port, const std::string& request) {
    const auto responses = parseResponses(httpExchange(port, request));
    EXPECT_EQ(responses.size(), 1u) << request.substr(0, 200);
    return responses.empty() ? HttpResponse{} : responses.front();
}

class WebServer : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.log(); }
    std::string ownOrigin() const { return "http://127.0.0.1:" + std::to_string(server.port()); }
    ServerProcess server{kTestSpeed, {"--allow-origin", "http://dev.example:5173"}};
};

TEST_F(WebServer, TheRootServesTheIndexPageAsHtml) {
    const HttpResponse page = httpGet(server.port(), "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.header("content-type"), "text/html; charset=utf-8");
    EXPECT_EQ(page.body.rfind("<!doctype html>", 0), 0u) << page.body.substr(0, 80);
    EXPECT_NE(page.body.find("src=\"/js/app.js\""), std::string::npos);
    EXPECT_EQ(httpGet(server.port(), "/index.html").body, page.body);
}

TEST_F(WebServer, EveryFileOfTheClientIsServedByteForByteWithItsType) {
    const auto files = clientFiles();
    ASSERT_GE(files.size(), 8u);
    for (const auto& [target, file] : files) {
        SCOPED_TRACE(target);
        const HttpResponse response = httpGet(server.port(), target);
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.header("content-type"), expectedType(file));
        const std::string expected = readFile(file.string());
        EXPECT_TRUE(response.body == expected)
            << "served " << response.body.size() << " bytes that differ from the "
            << expected.size() << " bytes of " << file.string();
    }
}

TEST_F(WebServer, EveryScriptStylesheetAndModuleThePageNamesIsThere) {
    // Follow the page's src and href, then each module's imports, as a browser would.
    std::vector<std::string> pending;
    const std::string page = httpGet(server.port(), "/").body;
    const std::regex reference(R"re((?:src|href)="(/[^"]*)")re");
    for (std::sregex_iterator it(page.begin(), page.end(), reference), end; it != end; ++it) {
        pending.push_back((*it)[1]);
    }
    const std::regex import(R"(from '\./([a-z_]+\.js)')");
    std::set<std::string> seen;
    while (!pending.empty()) {
        const std::string target = pending.back();
        pending.pop_back();
        if (!seen.insert(target).second) {
            continue;
        }
        SCOPED_TRACE(target);
        const HttpResponse response = httpGet(server.port(), target);
        ASSERT_EQ(response.status, 200);
        if (target.starts_with("/js/")) {
            const std::string& body = response.body;
            for (std::sregex_iterator it(body.begin(), body.end(), import), end; it != end; ++it) {
                pending.push_back("/js/" + (*it)[1].str());
            }
        }
    }
    EXPECT_TRUE(seen.contains("/js/session.js"));
    EXPECT_TRUE(seen.contains("/style.css"));
}

TEST_F(WebServer, PathsOutsideTheClientAreNotFound) {
    for (const std::string target :
         {"/nope", "/js/", "/js/missing.js", "/web/index.html", "/../CMakeLists.txt",
          "/node_modules/uplot/package.json", "/index.html/", "//index.html", "/INDEX.HTML",
          "/js/../index.html", "/%2e%2e/CMakeLists.txt", "/tests/web/journey.mjs"}) {
        SCOPED_TRACE(target);
        const HttpResponse response = httpGet(server.port(), target);
        EXPECT_EQ(response.status, 404);
        EXPECT_EQ(response.header("content-type"), "text/plain");
    }
}

TEST_F(WebServer, AQueryStringDoesNotChangeWhatIsServed) {
    EXPECT_EQ(httpGet(server.port(), "/?reload=1").body, httpGet(server.port(), "/").body);
    const HttpResponse style = httpGet(server.port(), "/style.css?v=2");
    EXPECT_EQ(style.status, 200);
    EXPECT_EQ(style.header("content-type"), "text/css; charset=utf-8");
}

TEST_F(WebServer, OtherMethodsAreRefusedAndDoNothing) {
    // 0xFF would stop the server if it ever reached the command handler.
    for (const std::string method : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS"}) {
        SCOPED_TRACE(method);
        const HttpResponse response =
            httpRequest(server.port(), method, "/", method == "OPTIONS" ? "" : "\xFF");
        EXPECT_EQ(response.status, 405);
    }
    EXPECT_EQ(server.countInLog("APP_CLIENT_EVT"), 0) << server.log();
    EXPECT_TRUE(server.running());
    WireClient client(server.port());
    client.send({0x01});
    EXPECT_EQ(client.next(), (Bytes{0x01, 0x00}));
}

TEST_F(WebServer, HeadIsAnsweredLikeGetWithoutTheBody) {
    const HttpResponse page = httpGet(server.port(), "/style.css");
    const std::string raw = httpExchange(
        server.port(), "HEAD /style.css HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
    const auto responses = parseResponses(raw);
    ASSERT_EQ(responses.size(), 1u) << raw;
    EXPECT_EQ(responses[0].status, 200);
    EXPECT_EQ(responses[0].header("content-type"), page.header("content-type"));
    EXPECT_EQ(responses[0].header("content-length"), std::to_string(page.body.size()));
    EXPECT_EQ(raw.substr(raw.find("\r\n\r\n") + 4), "") << "a body followed";
    EXPECT_EQ(httpRequest(server.port(), "HEAD", "/nothing-here").status, 404);
}

TEST_F(WebServer, AKeptAliveConnectionServesOneRequestAfterAnother) {
    const std::string two =
        "GET /style.css HTTP/1.1\r\nHost: localhost:8888\r\n\r\n"
        "GET /js/app.js HTTP/1.1\r\nHost: localhost:8888\r\nConnection: close\r\n\r\n";
    const auto responses = parseResponses(httpExchange(server.port(), two));
    ASSERT_EQ(responses.size(), 2u);
    EXPECT_EQ(responses[0].header("content-type"), "text/css; charset=utf-8");
    EXPECT_EQ(responses[1].header("content-type"), "text/javascript; charset=utf-8");
}

TEST_F(WebServer, AWebSocketUpgradeStillWorksOnTheSamePortBesidePageRequests) {
    ASSERT_EQ(httpGet(server.port(), "/").status, 200);
    WireClient page(server.port(), ownOrigin());
    ASSERT_TRUE(page.connected()) << page.error();
    EXPECT_EQ(httpGet(server.port(), "/js/app.js").status, 200);
    page.send({0x01});
    EXPECT_EQ(page.next(), (Bytes{0x01, 0x00}));
}

TEST_F(WebServer, OnlyTheServersOwnOriginAndTheOnesNamedAreTrusted) {
    const std::string otherPort = "http://127.0.0.1:" + std::to_string(server.port() + 1);
    for (const std::string& origin :
         {std::string("http://evil.example"), std::string("http://localhost:3000"), otherPort,
          std::string("null"), std::string("http://localhost.evil.example"),
          std::string("https://127.0.0.1:") + std::to_string(server.port())}) {
        SCOPED_TRACE(origin);
        WireClient foreign(server.port(), origin);
        EXPECT_FALSE(foreign.connected());
        EXPECT_EQ(foreign.httpStatus(), 403);
        EXPECT_EQ(httpRequest(server.port(), "GET", "/api/status", {}, "Origin: " + origin + "\r\n")
                      .status,
                  403);
    }
    EXPECT_TRUE(server.waitForLog("(origin http://localhost:3000): 403"));
    EXPECT_TRUE(WireClient(server.port(), ownOrigin()).connected());
    EXPECT_TRUE(WireClient(server.port(), "http://dev.example:5173").connected());
    EXPECT_EQ(httpRequest(server.port(), "GET", "/api/status", {},
                          "Origin: http://localhost:" + std::to_string(server.port()) + "\r\n")
                  .status,
              200);
}

TEST_F(WebServer, RequestsAddressedToAnotherNameAreRefusedBeforeAnyWork) {
    // A page whose domain was re-pointed at this machine (DNS rebinding).
    const std::string host = "Host: rebind.attacker.example:" + std::to_string(server.port());
    for (const char* target :
         {"/api/recordings/1.csv", "/api/status", "/api/gestures", "/api/evaluation", "/"}) {
        SCOPED_TRACE(target);
        const HttpResponse refused = onlyAnswerTo(
            server.port(), std::string("GET ") + target + " HTTP/1.1\r\n" + host + "\r\n\r\n");
        EXPECT_EQ(refused.status, 421);
    }
    const std::string upgrade =
        "GET / HTTP/1.1\r\n" + host +
        "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: "
        "dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
    EXPECT_EQ(onlyAnswerTo(server.port(), upgrade).status, 421);
    EXPECT_EQ(server.countInLog("api GET"), 0) << "no request reached the main loop";
    EXPECT_EQ(server.countInLog("uWS connect"), 0);
    EXPECT_TRUE(server.waitForLog("are not served here"));
    EXPECT_EQ(onlyAnswerTo(server.port(), "GET /api/status HTTP/1.0\r\n\r\n").status, 400);
}

TEST(NetworkAccess, ByDefaultOnlyLoopbackIsOpenBeyondItEveryRequestNeedsTheToken) {
    const std::string address = machineAddress();
    if (address.empty()) {
        GTEST_SKIP() << "this machine has no address beyond loopback";
    }
    ServerProcess local;
    ASSERT_TRUE(local.start()) << local.log();
    EXPECT_EQ(httpExchange(local.port(), "GET / HTTP/1.1\r\n\r\n", address), "")
        << "reachable on " << address;
    EXPECT_EQ(requestAt("127.0.0.1", local.port(), "/api/status").status, 200);

    ServerProcess server(kTestSpeed, {"--listen", "0.0.0.0"});
    ASSERT_TRUE(server.start()) << server.log();
    const std::string url = "http://" + address + ":" + std::to_string(server.port()) + "/?token=";
    ASSERT_TRUE(server.waitForLog(url)) << server.log();
    const std::string log = server.log();
    const std::string token = log.substr(log.find(url) + url.size(), 64);
    const std::uint16_t port = server.port();

    EXPECT_EQ(requestAt(address, port, "/api/status").status, 401);
    EXPECT_TRUE(server.waitForLog("uWS refused GET /api/status from " + address));
    EXPECT_EQ(requestAt(address, port, "/api/status?token=" + std::string(64, '0')).status, 403);
    EXPECT_EQ(requestAt(address, port, "/", "X-Quillon-Token: x\r\n").status, 403);
    EXPECT_EQ(server.countInLog("api GET"), 0) << "nothing else happened";
    WireClient refused(port, {}, address);
    EXPECT_EQ(refused.httpStatus(), 401);

    const HttpResponse page = requestAt(address, port, "/?speed=2&token=" + token);
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(contains(page.header("set-cookie"), "quillon_token=" + token + ";"));
    EXPECT_EQ(
        requestAt(address, port, "/api/status", "Cookie: quillon_token=" + token + "\r\n").status,
        200);
    EXPECT_EQ(requestAt(address, port, "/api/status", "X-Quillon-Token: " + token + "\r\n").status,
              200);
    WireClient phone(port, "http://" + address + ":" + std::to_string(port), address,
                     "/?token=" + token);
    ASSERT_TRUE(phone.connected()) << phone.error();
    phone.send({0x01});
    EXPECT_EQ(phone.next(), (Bytes{0x01, 0x00}));
    EXPECT_EQ(requestAt("127.0.0.1", port, "/api/status").status, 200) << "loopback needs none";
}

TEST_F(WebServer, OddRequestsAreAnsweredAndClosedAndIdleOnesCannotLockOthersOut) {
    const std::string start = "PUT /api/gestures HTTP/1.1\r\nHost: localhost\r\n";
    struct Case {
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"GET / HTTP/1.1\r\nHost: localhost\r\nX-Long: " + std::string(9000, 'a') + "\r\n\r\n",
         431},
        {start + "X-Quillon-Request: 1\r\nContent-Length: 100000\r\n\r\n" +
             std::string(100000, ' '),
         413},
        {start + "Content-Length: 2\r\nContent-Length: 2\r\n\r\n{}", 400},
        {start + "Content-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n{}", 400},
        {start + "Transfer-Encoding: gzip\r\n\r\n{}", 400},
        {"GET /\x01 HTTP/1.1\r\nHost: localhost\r\n\r\n", 400},
        {"NOT HTTP AT ALL\r\n\r\n", 400},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(onlyAnswerTo(server.port(), c.request).status, c.status)
            << c.request.substr(0, 80);
    }

    // JSON naming a key twice is refused; a short list of names keeps the others.
    const std::string header = "X-Quillon-Request: 1\r\n";
    EXPECT_EQ(httpRequest(server.port(), "PUT", "/api/settings",
                          R"({"identifyMode": "exact", "identifyMode": "calibrated"})", header)
                  .status,
              400);
    EXPECT_EQ(httpRequest(server.port(), "PUT", "/api/gestures",
                          R"({"names": ["A", "B", "C"], "names": []})", header)
                  .status,
              400);
    ASSERT_EQ(
        httpRequest(server.port(), "PUT", "/api/gestures", R"({"names": ["A", "B", "C"]})", header)
            .status,
        200);
    const HttpResponse renamed =
        httpRequest(server.port(), "PUT", "/api/gestures", R"({"names": ["Fist"]})", header);
    EXPECT_TRUE(contains(renamed.body, "\"Fist\",\n    \"B\",\n    \"C\"")) << renamed.body;

    // Idle connections beyond the bound give way to a client with a request.
    rlimit usual{};
    ASSERT_EQ(prlimit(server.processId(), RLIMIT_NOFILE, nullptr, &usual), 0);
    const auto open = static_cast<rlim_t>(
        std::distance(fs::directory_iterator("/proc/" + std::to_string(server.processId()) + "/fd"),
                      fs::directory_iterator()));
    const rlimit tight{open + 100, usual.rlim_max};
    ASSERT_EQ(prlimit(server.processId(), RLIMIT_NOFILE, &tight, nullptr), 0);
    std::vector<int> idle;
    for (int i = 0; i < 150; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(server.port());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        idle.push_back(fd);
    }
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(httpGet(server.port(), "/api/settings").status, 200);
    std::printf("answered beside 150 idle connections in %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - asked)
                                           .count()));
    for (const int fd : idle) {
        close(fd);
    }
    ASSERT_EQ(prlimit(server.processId(), RLIMIT_NOFILE, &usual, nullptr), 0);

    // The identification mode chosen through the API outlives the server.
    ASSERT_EQ(httpRequest(server.port(), "PUT", "/api/settings",
                          R"({"identifyMode": "calibrated"})", header)
                  .status,
              200);
    WireClient stopper(server.port());
    stopper.send({0xFF});
    ASSERT_EQ(server.waitForExit(), 0);
    ASSERT_TRUE(server.start()) << server.log();
    EXPECT_TRUE(contains(httpGet(server.port(), "/api/settings").body, "calibrated"));
}

}  // namespace
