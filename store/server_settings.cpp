#include "store/server_settings.h"

#include <string>

#include "base/atomic_file.h"
#include "base/log.h"
#include "base/strict_json.h"
#include "base/whole_file.h"

namespace {

constexpr std::size_t kMaxSettingsFileBytes = 4096;

}  // namespace

std::optional<IdentifyMode> loadSavedIdentifyMode() {
    std::string text;
    if (readWholeFile(kSettingsFileName, kMaxSettingsFileBytes, text) != FileRead::Read) {
        return std::nullopt;
    }
    const nlohmann::json document = parseJsonStrictly(text);
    const auto mode = document.is_object() ? document.find("identifyMode") : document.end();
    if (document.is_discarded() || !document.is_object() || mode == document.end() ||
        !mode->is_string()) {
        return std::nullopt;
    }
    return identifyModeNamed(mode->get_ref<const std::string&>());
}

bool saveIdentifyMode(IdentifyMode mode) {
    const std::string text =
        nlohmann::json{{"identifyMode", identifyModeName(mode)}}.dump(2) + "\n";
    const FileWrite written = writeFileAtomically(kSettingsFileName, text.data(), text.size());
    if (!written) {
        logLine("saveIdentifyMode, %s could not be written: %s", kSettingsFileName,
                written.reason.c_str());
    }
    return static_cast<bool>(written);
}
