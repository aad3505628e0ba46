// The server binary as a web server: the browser client embedded in it, plain
// HTTP beside the WebSocket on port 8888.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/support/http_exchange.h"
#include "tests/support/server_process.h"
#include "tests/support/temp_dir.h"
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

class WebServer : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.log(); }
    ServerProcess server;
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
    WireClient page(server.port(), "http://localhost:8888");
    ASSERT_TRUE(page.connected()) << page.error();
    EXPECT_EQ(httpGet(server.port(), "/js/app.js").status, 200);
    page.send({0x01});
    EXPECT_EQ(page.next(), (Bytes{0x01, 0x00}));
    WireClient byAddress(server.port(), "http://127.0.0.1:8888");
    EXPECT_TRUE(byAddress.connected()) << byAddress.error();
}

TEST_F(WebServer, ACrossSiteOriginIsStillRefused) {
    for (const std::string origin :
         {"http://evil.example", "http://localhost.evil.example:8888", "null",
          "http://localhost:8888.evil.example", "http://localhost/evil"}) {
        SCOPED_TRACE(origin);
        WireClient foreign(server.port(), origin);
        EXPECT_FALSE(foreign.connected());
        EXPECT_EQ(foreign.httpStatus(), 403);
    }
    WireClient local(server.port(), "http://localhost:8888");
    EXPECT_TRUE(local.connected());
}

}  // namespace
