#include "server/net/web_assets.h"

#include <cstddef>
#include <vector>

// Defined by the source that cmake/web_assets.cmake generates at build time
// from web/: the path each file is served at ("/index.html",
// "/js/app.js", "/style.css") and its bytes, constant-initialised.
namespace web_assets_data {
extern const std::size_t kFileCount;
extern const std::string_view kFilePaths[];
extern const std::string_view kFileBodies[];
}  // namespace web_assets_data

namespace {

struct Entry {
    std::string_view path;
    WebAsset asset;
};

std::string_view contentTypeOf(std::string_view path) {
    struct Type {
        std::string_view extension;
        std::string_view contentType;
    };
    static constexpr Type kTypes[] = {
        {".html", "text/html; charset=utf-8"}, {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},   {".svg", "image/svg+xml"},
        {".json", "application/json"},         {".png", "image/png"},
    };
    for (const Type& type : kTypes) {
        if (path.ends_with(type.extension)) {
            return type.contentType;
        }
    }
    return "application/octet-stream";
}

// Built on first use, read-only afterwards: safe from any thread.
const std::vector<Entry>& entries() {
    static const std::vector<Entry> table = [] {
        std::vector<Entry> built;
        built.reserve(web_assets_data::kFileCount);
        for (std::size_t i = 0; i < web_assets_data::kFileCount; ++i) {
            const std::string_view path = web_assets_data::kFilePaths[i];
            built.push_back({path, {contentTypeOf(path), web_assets_data::kFileBodies[i]}});
        }
        return built;
    }();
    return table;
}

}  // namespace

const WebAsset* findWebAsset(std::string_view path) {
    if (path == "/") {
        path = "/index.html";
    }
    for (const Entry& entry : entries()) {
        if (entry.path == path) {
            return &entry.asset;
        }
    }
    return nullptr;
}
