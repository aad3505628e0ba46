// The subcommands of quillonctl: their names, how many arguments they take,
// how long they wait for the server by default, and their help texts.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

enum class CommandId {
    Help,
    Ping,
    Scan,
    Connect,
    Disconnect,
    Version,
    GestureStream,
    StopGestureStream,
    Config,
    Record,
    StopRecord,
    Generate,
    StopGenerate,
    Upload,
    StopUpload,
    Identify,
    StopIdentify,
    Exit,
    Watch,
    Send,
    Sim,
    Demo,
    Recordings,
    Evaluate,
    Export,
    Delete,
    Names,
};

struct CommandSpec {
    CommandId id;
    const char* name;
    const char* arguments;  // as shown in usage, "" for none
    int leastArguments;
    int mostArguments;  // -1: any number
    std::chrono::milliseconds timeout;
    const char* summary;  // one line
    const char* details;  // a paragraph or two, lines of at most 78 characters
};

// The command called `name`, or nullptr.
const CommandSpec* findCommand(std::string_view name);

// The text of `quillonctl --help`.
std::string usageText();
// The text of `quillonctl help NAME`.
std::string commandHelpText(const CommandSpec& command);
