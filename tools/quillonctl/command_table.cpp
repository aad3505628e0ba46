#include "tools/quillonctl/command_table.h"

#include <array>
#include <cctype>

namespace {

using std::chrono::seconds;

constexpr seconds kUsual{10};

const std::array<CommandSpec, 27> kCommands{{
    {CommandId::Help, "help", "[COMMAND]", 0, 1, kUsual, "explain quillonctl or one command",
     "Without a command, lists every command; with one, explains it.\n"},
    {CommandId::Demo, "demo", "[--gestures L] [--mode M]", 0, 0, kUsual,
     "the whole journey against the simulated armband, unattended",
     "Runs the whole journey against the simulated armband in about two minutes:\n"
     "scans for the armband and connects it (unless one is connected already),\n"
     "configures all 8 channels and the gestures, records each gesture for its\n"
     "30-second window while the virtual wearer performs it, trains the model,\n"
     "uploads it to the armband, then identifies live while the wearer holds each\n"
     "gesture for 6 s and rests for 3 s after it. It ends with a report: the\n"
     "recordings made, the EMG frames of each gesture (counted from the preview\n"
     "frames), the training and upload times, and for how much of each hold and\n"
     "rest the server reported what the wearer did.\n"
     "\n"
     "--gestures L: two to eight different gestures 1 to 8, such as 1,2,3 (the\n"
     "default: 1 Fist, 2 Spread, 3 WaveIn); the wearer makes the armband's gesture\n"
     "of the same number.\n"
     "\n"
     "--mode M: how the server identifies, exact or calibrated (the default; its\n"
     "recogniser learns rest and the gestures from the wearer's own recordings).\n"
     "\n"
     "The server appends every recording to rawG.bin in its working directory, so\n"
     "a server that holds recordings already trains on the old and the new ones\n"
     "together: run the demo against a server started in a fresh directory. A\n"
     "failed step stops the demo with its reason and leaves the server idle; so\n"
     "does Ctrl+C. --timeout sets the wait of the short steps (10 s by default);\n"
     "a recording may take 45 s, training 120 s and the upload 60 s. The wearer\n"
     "is reached on --sim-port.\n"},
    {CommandId::Ping, "ping", "", 0, 0, kUsual, "check that the server answers",
     "Sends PING and prints the answer.\n"},
    {CommandId::Scan, "scan", "", 0, 0, kUsual, "scan for the armband",
     "Asks the server to scan and waits until an armband is found (the\n"
     "notification 02 00). The server scans for 30 s in all (02 F0 when none\n"
     "turned up), also after quillonctl has stopped waiting.\n"},
    {CommandId::Connect, "connect", "", 0, 0, kUsual, "connect the armband found by a scan",
     "Asks the server to connect the armband that the last scan found and waits\n"
     "until it is connected (the notification 03 00).\n"},
    {CommandId::Disconnect, "disconnect", "", 0, 0, kUsual, "disconnect the armband",
     "Asks the server to disconnect the armband and waits until it is\n"
     "disconnected (the notification 04 00).\n"},
    {CommandId::Version, "version", "", 0, 0, kUsual, "show the server's and armband's versions",
     "Prints the versions as server/firmware/hardware, each ddd.ddd.ddd;\n"
     "---.---.--- stands for a version that is not known (no armband connected).\n"},
    {CommandId::GestureStream, "gesture-stream", "", 0, 0, kUsual,
     "print the gestures the armband recognises, until Ctrl+C",
     "Starts the armband's gesture stream and prints each gesture by name as it\n"
     "arrives, with the time since the start. Ctrl+C stops the stream\n"
     "(STOP_GESTURE_STREAM). The time-out applies to the start only.\n"},
    {CommandId::StopGestureStream, "stop-gesture-stream", "", 0, 0, kUsual, "stop a gesture stream",
     "Stops a gesture stream that some client started.\n"},
    {CommandId::Config, "config", "CHMASK GMASK", 2, 2, kUsual,
     "choose the EMG channels and the gestures to train",
     "CHMASK has one bit per EMG channel (bit 0 is channel 1), GMASK one bit per\n"
     "gesture (bit 0 is gesture 1). Each is 1 to 255, in decimal or in hex with\n"
     "0x (0xFF 0x07: all eight channels, gestures 1 to 3). Waits for the\n"
     "armband's answer (the 05 notification) and prints it.\n"},
    {CommandId::Record, "record", "G", 1, 1, seconds{45}, "record gesture G (1 to 8) for 30 s",
     "Records gesture G for the server's 30-second window, showing the time and a\n"
     "level meter of the muscle activity, then says where the recording went\n"
     "(the server appends it to rawG.bin in its working directory). Ctrl+C stops\n"
     "the recording (STOP_RECORD) and nothing is written. Default time-out 45 s.\n"},
    {CommandId::StopRecord, "stop-record", "", 0, 0, kUsual, "abandon a recording under way",
     "Stops the recording window that some client started; nothing is written.\n"},
    {CommandId::Recordings, "recordings", "", 0, 0, kUsual, "list the recordings the server holds",
     "Lists the raw recordings in the server's working directory: per gesture its\n"
     "name, the seconds of EMG at the configured channel count, the 30-second\n"
     "windows appended (\"?\" for a file made before they were counted), the\n"
     "active windows that training would use, and what to do about a weak one.\n"},
    {CommandId::Evaluate, "evaluate", "", 0, 0, seconds{60},
     "score the recordings before training on them",
     "Asks the server how well a model trained on the configured gestures'\n"
     "recordings would do, with its own feature extraction, training and live\n"
     "identification: 5-fold cross-validation over contiguous stretches of each\n"
     "recording gives the confusion matrix, the accuracy and each gesture's recall\n"
     "and precision; replaying each held-out stretch through live identification\n"
     "gives the active error rate (decisions during holds that are not the held\n"
     "gesture) and the instability (changes of the reported gesture per second of\n"
     "holding). Warnings say which recordings to make again. The server's files\n"
     "are not touched. Default time-out 60 s.\n"},
    {CommandId::Export, "export", "G --csv|--edf FILE", 1, 1, seconds{60},
     "save gesture G's recording as CSV or EDF+",
     "Saves the raw recording of gesture G (1 to 8) to FILE: --csv writes a time\n"
     "column in seconds and one column per channel of raw values 0 to 255; --edf\n"
     "writes EDF+ (650 Hz, one signal per channel, an annotation at the start of\n"
     "each recording window) that EDF readers open. Default time-out 60 s.\n"},
    {CommandId::Delete, "delete", "G", 1, 1, kUsual, "delete gesture G's recording",
     "Removes the raw recording of gesture G (rawG.bin and its window log) from\n"
     "the server's working directory, so that the next recording starts afresh.\n"
     "The server refuses while it records or identifies.\n"},
    {CommandId::Names, "names", "[\"N1,N2,...\"]", 0, -1, kUsual, "show or set the gestures' names",
     "Without names, shows the names the server keeps for gestures 1 to 8. With\n"
     "names separated by commas, such as \"Fist,Open hand,Pinch\", gives them to\n"
     "gestures 1, 2, 3, ... (an empty one leaves its gesture without a name), so\n"
     "that every client shows the same names.\n"},
    {CommandId::Generate, "generate", "", 0, 0, seconds{120},
     "train the gesture model from the recordings",
     "Asks the server to extract features from the recordings of the configured\n"
     "gestures and train the model (W&B.txt in its working directory). The\n"
     "server goes on answering everyone meanwhile; stop-generate stops it.\n"
     "Default time-out 120 s.\n"},
    {CommandId::StopGenerate, "stop-generate", "", 0, 0, kUsual,
     "stop the model training under way",
     "A training under way stops and writes nothing (the model stays as it was);\n"
     "it ends with 0A FD. With nothing training, the server only acknowledges it.\n"},
    {CommandId::Upload, "upload", "", 0, 0, seconds{60}, "upload the trained model to the armband",
     "Asks the server to pack W&B.txt into a model image (kept as model.bin) and\n"
     "upload it to the armband, showing the progress. Default time-out 60 s.\n"
     "With no armband connected the server says nothing, and the wait times out.\n"},
    {CommandId::StopUpload, "stop-upload", "", 0, 0, kUsual,
     "send STOP_MODEL_UPDATE (only acknowledged)",
     "The server acknowledges it; an upload under way is not interrupted.\n"},
    {CommandId::Identify, "identify", "[--mode M]", 0, 0, kUsual,
     "recognise gestures with the trained model, until Ctrl+C",
     "Starts identification on the server with W&B.txt and prints each\n"
     "recognised gesture as it arrives, with the time since the start. Ctrl+C\n"
     "stops it (STOP_IDENTIFY). The time-out applies to the start only.\n"
     "\n"
     "--mode M: exact or calibrated (the default), set on the server through its\n"
     "settings first; calibrated knows rest as a class of its own, learnt with the\n"
     "gestures from the wearer's own recordings, and follows onsets and rest sooner.\n"},
    {CommandId::StopIdentify, "stop-identify", "", 0, 0, kUsual, "stop identification",
     "Stops identification; the server also ends a recording or a gesture stream\n"
     "with it.\n"},
    {CommandId::Exit, "exit", "", 0, 0, kUsual, "end the server",
     "Asks the server to end and waits until it has closed the connection.\n"},
    {CommandId::Watch, "watch", "", 0, 0, kUsual,
     "print every message from the server in words, until Ctrl+C",
     "Prints each message with the time since the start, its bytes and their\n"
     "meaning. Preview frames are summarised once a second.\n"},
    {CommandId::Send, "send", "HEX", 1, -1, seconds{3},
     "send a raw frame and print what comes back",
     "Sends the bytes as one message (\"05 ff 07\", \"05ff07\" or \"0x05 0xff 0x07\")\n"
     "and prints every message that arrives within the time-out, 3 s by default.\n"},
    {CommandId::Sim, "sim", "WORDS...", 1, -1, kUsual, "control the simulated armband's wearer",
     "Sends the words as one command to the wearer control of the simulated\n"
     "armband (--sim-port, 8889 by default) and prints the answer; exits non-zero\n"
     "when it begins \"error: \". Commands:\n"
     "  perform G | hold G | rest      repeat, hold or leave gesture G (0..15)\n"
     "  status                         the armband's state as JSON\n"
     "  drop | absent | present        lose the link | hide the armband | show it\n"
     "  fail OP [N] | mute OP [N]      fail | never complete the next N requests\n"
     "  nosetting | setting            take away | give back the setting object\n"
     "  hubstate N | devicestatus N    raise a hub state | a device status\n"
     "  replay PATH | replay           stream a raw file | the synthetic wearer\n"
     "  seed N | reset | help\n"
     "OP: connect, startScan, setDataNotifySwitch, setEmgRawDataConfig,\n"
     "trainModelUpdate, queryHardwareVersion, queryFirmwareVersion.\n"},
}};

// At least one blank follows the text.
std::string padded(std::string text, std::size_t width) {
    text.append(text.size() < width ? width - text.size() : 1, ' ');
    return text;
}

std::string synopsis(const CommandSpec& command) {
    std::string text = command.name;
    if (command.arguments[0] != '\0') {
        text += ' ';
        text += command.arguments;
    }
    return text;
}

}  // namespace

const CommandSpec* findCommand(std::string_view name) {
    for (const CommandSpec& command : kCommands) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

std::string usageText() {
    std::string text =
        "usage: quillonctl [--host H] [--port P] [--sim-port P] [--sim-speed X]\n"
        "                  [--timeout SECONDS] COMMAND [ARGS]\n"
        "\n"
        "Drives the Quillon server (ws://H:P/, 127.0.0.1:8888 by default).\n"
        "\n"
        "Commands:\n";
    for (const CommandSpec& command : kCommands) {
        text += "  " + padded(synopsis(command), 22) + command.summary + "\n";
    }
    text +=
        "\n"
        "Each command waits for its answers, 10 s unless said otherwise\n"
        "(--timeout changes it). --sim-speed tells quillonctl the server's own\n"
        "--sim-speed, so that recording progress and the demo's holds keep pace.\n"
        "Exit status: 0 success, 1 failure or time-out,\n"
        "2 bad usage, 130 stopped by Ctrl+C. `quillonctl help COMMAND` explains one.\n";
    return text;
}

std::string commandHelpText(const CommandSpec& command) {
    std::string summary = command.summary;
    summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
    return "usage: quillonctl [options] " + synopsis(command) + "\n\n" + summary + ".\n" +
           command.details;
}
