#include <string>

#include "commands/client_commands.h"
#include "commands/command_handlers.h"
#include "commands/version_text.h"
#include "core/exit_application.h"
#include "device/tessel_handle.h"

void commandPing(const CommandFrame& frame, Response& response) {
    response.push_back(PING);
    response.push_back(frame.length == 1 ? STATUS_OK : STATUS_FAILED);
}

void commandGetVersion(const CommandFrame&, Response& response) {
    response.push_back(GET_VERSION);
    const VersionMap versions = handle->getVersions();
    const std::string text = std::string(serverVersion) + "/" +
                             formatFirmwareVersion(toNarrow(versions.at("FW"))) + "/" +
                             formatHardwareVersion(toNarrow(versions.at("HW")));
    response.insert(response.end(), text.begin(), text.end());
}

void commandExitServer(const CommandFrame&, Response&) {
    exitApplication();
}
