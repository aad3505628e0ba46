#include "tools/quillonctl/demo_report.h"

#include <cstdio>

#include "server/device/gesture_names.h"
#include "tools/quillonctl/status_line.h"

namespace {

std::string percentText(float percent) {
    char text[16];
    std::snprintf(text, sizeof text, "%.0f %%", static_cast<double>(percent));
    return text;
}

std::string recordingsLine(const std::vector<DemoRecording>& recordings) {
    std::string files;
    std::size_t bytes = 0;
    for (const DemoRecording& recording : recordings) {
        files += (files.empty() ? "" : ", ") + std::string("raw") +
                 std::to_string(recording.gesture) + ".bin";
        bytes += recording.frames * recording.channels;
    }
    std::string line = "  recordings made: " + std::to_string(recordings.size());
    if (!recordings.empty()) {
        line += " (" + files + "), about " + std::to_string(bytes) + " bytes of EMG in all";
    }
    return line + "\n";
}

std::string agreementLines(const Agreement& agreement) {
    std::string text = "  live agreement between performed and reported gestures:\n";
    for (const AgreementShare& hold : agreement.holds) {
        text += "    " + demoGestureName(hold.gesture) + " held " + secondsText(hold.total) +
                ": reported for " + percentText(hold.percent()) + " of it\n";
    }
    if (agreement.rest.total.count() > 0) {
        text += "    rest " + secondsText(agreement.rest.total) + ": no gesture reported for " +
                percentText(agreement.rest.percent()) + " of it\n";
    }
    if (agreement.overall.total.count() > 0) {
        text += "    overall agreement: " + percentText(agreement.overall.percent()) + " of " +
                secondsText(agreement.overall.total) + "\n";
    } else {
        text += "    overall agreement: nothing was measured\n";
    }
    return text;
}

}  // namespace

std::string millisecondsText(std::chrono::milliseconds duration) {
    return std::to_string(duration.count()) + " ms";
}

std::string demoGestureName(std::uint8_t gesture) {
    return "gesture " + std::to_string(gesture) + " (" + gestureName(gesture) + ")";
}

std::string demoReport(const DemoResults& results) {
    std::string text = "demo report\n" + recordingsLine(results.recordings);
    text +=
        "  EMG frames recorded per gesture (counted by this client from the preview frames;\n"
        "  the server's feature files stay on its side):\n";
    for (const DemoRecording& recording : results.recordings) {
        text += "    " + demoGestureName(recording.gesture) + ": " +
                std::to_string(recording.frames) + " frames of " +
                std::to_string(recording.channels) + " channels\n";
    }
    text += "  training time: " + millisecondsText(results.trainingTime) +
            " (GENERATE_MODEL round trip)\n";
    text += "  upload time: " + millisecondsText(results.uploadTime) + ", reached " +
            (results.uploadPercentage < 0 ? std::string("no progress report")
                                          : std::to_string(results.uploadPercentage) + " %") +
            "\n";
    return text + agreementLines(results.agreement);
}
