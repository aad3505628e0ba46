// The steps of the protocol that quillonctl's subcommands are made of, and that
// `demo` strings together. Each step runs on a Session whose link is open,
// waits at most until session.deadline(), prints its progress and outcome, and
// returns an exit status: kExitOk, or the status of a failure whose reason it
// has printed (kExitInterrupted after Ctrl+C).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/client/message_text.h"
#include "tools/quillonctl/command_support.h"

// GET_VERSION; `version` holds the answer on success.
int queryVersion(Session& session, VersionAnswer& version);
// SCAN_DEVICE until the notification that an armband was found (02 00);
// prints `found` then.
int scanForArmband(Session& session, const std::string& found);
// CONNECT_DEVICE until the notification that the armband is connected (03 00).
int connectArmband(Session& session);
// SET_EMG_CONFIG until the armband's answer (the 05 notification).
int configureEmg(Session& session, std::uint8_t channelMask, std::uint8_t gestureMask);

struct RecordingSummary {
    std::size_t frames = 0;    // EMG frames, counted from the preview frames
    std::size_t channels = 0;  // of each frame
    // The window that the step opened may still be open on the server: the
    // step gave up without its end or a confirmed stop.
    bool leftOpen = false;
};
// START_RECORD of `gesture` with the progress bar and level meter, until the
// window closes (06 00). Ctrl+C stops the recording (STOP_RECORD).
int recordGesture(Session& session, std::uint8_t gesture, RecordingSummary& summary);

// GENERATE_MODEL with a spinner; `took` is the round trip on success.
int generateModel(Session& session, std::chrono::milliseconds& took);

struct UploadSummary {
    std::chrono::milliseconds took{0};  // from MODEL_UPDATE to 0C 00
    int percentage = -1;                // the last progress reported, -1 none
};
// MODEL_UPDATE with a progress bar, until the armband has the model (0C 00).
int uploadModel(Session& session, UploadSummary& summary);

// Sets the server's identification mode to the invocation's through the
// settings API, unless it is that already, and says which mode identifies.
// When it changed the mode, `previous` (if given) receives the one before.
int chooseIdentifyMode(Session& session, std::string* previous = nullptr);
// Sets the server's identification mode back to `mode`; nothing when empty.
int restoreIdentifyMode(Session& session, const std::string& mode);
// The server's gesture names with each of `gestures` named as the armband
// names it ("Fist", "Spread", ...), the other names kept.
int nameGestures(Session& session, const std::vector<std::uint8_t>& gestures);
// The identification mode chosen, then START_IDENTIFY: kExitOk once the
// server has taken it without a refusal. `previousMode` as for
// chooseIdentifyMode.
int startIdentification(Session& session, std::string* previousMode = nullptr);
// STOP_IDENTIFY until its answer (08 FD); not cut short by Ctrl+C.
int stopIdentification(Session& session);
// STOP_RECORD until the window's end is confirmed; not cut short by Ctrl+C.
// For cleaning up after a recording step that left its window open.
int abandonRecording(Session& session);
