// The resources of the HTTP API, one function per method and resource. Each
// builds its whole response and hands it to `reply` on the main thread: at
// once, or once the background worker has done the work that takes long
// (reading recordings, the evaluation, writing files). The server has already
// checked who asks (host, origin, token), the router the method, the header
// and the mode. Main thread.
#pragma once

#include <cstddef>
#include <string>

#include "server/net/api_calls.h"
#include "server/net/api_request.h"

class ServerContext;

ApiResponse getStatus(const ServerContext& server);

void getRecordings(ServerContext& server, ApiReply reply);
void getRecording(ServerContext& server, int gesture, ApiReply reply);
void deleteRecording(ServerContext& server, int gesture, ApiReply reply);
// Answers the gesture's inventory entry as it is afterwards.
void deleteRecordingWindow(ServerContext& server, int gesture, std::size_t window, ApiReply reply);

enum class ExportFormat { csv, edf };
void exportRecording(ServerContext& server, int gesture, ExportFormat format, ApiReply reply);

void getEvaluation(ServerContext& server, ApiReply reply);

ApiResponse getGestureNames();
void putGestureNames(ServerContext& server, const std::string& body, ApiReply reply);

ApiResponse getSettings(const ServerContext& server);
void putSettings(ServerContext& server, const std::string& body, ApiReply reply);
