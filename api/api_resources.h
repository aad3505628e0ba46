// The resources of the HTTP API, one function per method and resource. Each
// builds its whole response. Main thread. The server has already checked who
// asks (host, origin, token), the router the method, the header and the mode.
#pragma once

#include <cstddef>
#include <string>

#include "api/api_request.h"

ApiResponse getStatus();

ApiResponse getRecordings();
ApiResponse getRecording(int gesture);
ApiResponse deleteRecording(int gesture);
// Answers the gesture's inventory entry as it is afterwards.
ApiResponse deleteRecordingWindow(int gesture, std::size_t window);

enum class ExportFormat { csv, edf };
ApiResponse exportRecording(int gesture, ExportFormat format);

ApiResponse getEvaluation();

ApiResponse getGestureNames();
ApiResponse putGestureNames(const std::string& body);

ApiResponse getSettings();
ApiResponse putSettings(const std::string& body);
