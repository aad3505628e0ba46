// The HTTP API: JSON under /api/ on the server's port.
//
//   GET    /api/status               mode, configuration, armband, model
//   GET    /api/recordings           the recordings inventory
//   GET    /api/recordings/N         one gesture's entry
//   DELETE /api/recordings/N         removes rawN.bin and its window log
//   DELETE /api/recordings/N/windows/K  removes window K (1-based) of rawN.bin
//   GET    /api/recordings/N.csv     the raw samples as CSV, sent as they are read
//   GET    /api/recordings/N.edf     the raw samples as EDF+, likewise
//   GET    /api/evaluation           cross-validated scores of the recordings
//   GET    /api/gestures             the gesture names
//   PUT    /api/gestures             replaces them
//   GET    /api/settings             {"identifyMode": "exact" or "calibrated"}
//   PUT    /api/settings             chooses the identification mode
//
// Every request has passed the server's access checks (server/net/access_policy.h)
// before it gets here. A request
// that changes something must carry "X-Quillon-Request: 1", which a page of
// another site cannot send without a preflight that is never granted (403),
// and is carried out only while the server is idle and not training (409).
// HEAD is answered as GET. Main thread: the resources read the acquisition
// state, and hand what takes long to the background worker.
#pragma once

#include <string_view>

#include "server/net/api_calls.h"
#include "server/net/api_request.h"

class ServerContext;

// `reply` runs on the main thread with the response, at once or once the
// background worker has done its part.
void handleApiRequest(ServerContext& server, const ApiRequest& request, ApiReply reply);
