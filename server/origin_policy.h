#pragma once

#include <string_view>

// Whether a WebSocket upgrade may go ahead. Native clients send no Origin and
// are accepted. A browser page is accepted only when it was served from this
// machine: its origin, exactly "http://" or "https://", a host and an optional
// port, has the host localhost, 127.0.0.1 or [::1], or an IP address literal
// equal to the host the request was addressed to. Any other origin,
// "null" and every domain name but localhost included, is refused: a page from
// elsewhere must not drive the armband.
bool isOriginAllowed(bool hasOrigin, std::string_view origin, std::string_view hostHeader);
