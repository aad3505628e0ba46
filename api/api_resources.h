// The resources of the HTTP API, one function per method and resource. Each
// builds its whole response. Main thread. The router has already applied the
// checks of origin, method, header and mode.
#pragma once

#include <string>

#include "api/api_request.h"

ApiResponse getStatus();

ApiResponse getRecordings();
ApiResponse getRecording(int gesture);
ApiResponse deleteRecording(int gesture);

enum class ExportFormat { csv, edf };
ApiResponse exportRecording(int gesture, ExportFormat format);

ApiResponse getEvaluation();

ApiResponse getGestureNames();
ApiResponse putGestureNames(const std::string& body);

ApiResponse getSettings();
ApiResponse putSettings(const std::string& body);
