#include "pipeline/start_up_recovery.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/log.h"
#include "pipeline/model_provenance.h"
#include "store/delete_recording_window.h"
#include "store/gesture_name_file.h"
#include "store/model_gestures.h"
#include "store/model_image.h"
#include "store/model_shape.h"
#include "store/recogniser_file.h"
#include "store/server_settings.h"
#include "store/window_log.h"

namespace {

// "raw" + digits + `suffix`: the gesture number, or -1.
int gestureOf(std::string_view name, std::string_view suffix) {
    if (!name.starts_with("raw") || !name.ends_with(suffix)) {
        return -1;
    }
    const std::string_view digits = name.substr(3, name.size() - 3 - suffix.size());
    if (digits.empty() || digits.size() > 3) {
        return -1;
    }
    int gesture = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return -1;
        }
        gesture = gesture * 10 + (c - '0');
    }
    return gesture <= 255 ? gesture : -1;
}

bool isFeatureFile(std::string_view name) {
    return name.size() == 12 && name.starts_with("feature") && name[7] >= '1' && name[7] <= '8' &&
           name.ends_with(".txt");
}

// A temporary file of writeFileAtomically for one of the server's files.
bool isLeftoverTemporary(std::string_view name) {
    if (!name.ends_with(".tmp")) {
        return false;
    }
    const std::string_view replaced = name.substr(0, name.size() - 4);
    for (const std::string_view ours :
         {std::string_view(kModelFileName), std::string_view(kModelImageFileName),
          std::string_view(kModelGesturesFileName), std::string_view(kRecogniserFileName),
          std::string_view(kGestureNamesFileName), std::string_view(kModelProvenanceFileName)}) {
        if (replaced == ours) {
            return true;
        }
    }
    return gestureOf(replaced, ".windows") >= 0 || gestureOf(replaced, ".windows.new") >= 0 ||
           replaced == kSettingsFileName;
}

std::vector<std::string> workingDirectoryFiles() {
    std::vector<std::string> names;
    if (DIR* dir = opendir(".")) {
        while (const dirent* entry = readdir(dir)) {
            names.emplace_back(entry->d_name);
        }
        closedir(dir);
    }
    return names;
}

}  // namespace

void recoverWorkingDirectory() {
    std::vector<int> gestures;
    for (const std::string& name : workingDirectoryFiles()) {
        if (isLeftoverTemporary(name) || isFeatureFile(name)) {
            if (std::remove(name.c_str()) == 0) {
                logLine("start-up: %s removed, left by an earlier run", name.c_str());
            }
            continue;
        }
        for (const std::string_view suffix : {".bin", ".bin.new", ".windows.new"}) {
            const int gesture = gestureOf(name, suffix);
            if (gesture >= 0 &&
                std::find(gestures.begin(), gestures.end(), gesture) == gestures.end()) {
                gestures.push_back(gesture);
            }
        }
    }
    for (const int gesture : gestures) {
        finishWindowDelete(gesture);
        settleRawFile(gesture);
    }
}
