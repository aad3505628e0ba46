#pragma once

#include <string_view>

// A file of the browser client, embedded into the program at build time.
struct WebAsset {
    std::string_view contentType;
    std::string_view body;
};

// The asset served at `path` ("/" is the index page), or nullptr.
const WebAsset* findWebAsset(std::string_view path);
