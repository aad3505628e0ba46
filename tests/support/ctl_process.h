// Runs the real quillonctl binary, its standard output and error going to
// files of their own (so it prints plain lines, as into any pipe) and its
// standard input reading /dev/null.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/text.h"

class CtlProcess {
  public:
    explicit CtlProcess(const std::vector<std::string>& arguments);
    ~CtlProcess();
    CtlProcess(const CtlProcess&) = delete;
    CtlProcess& operator=(const CtlProcess&) = delete;

    // The exit status (128 + signal when a signal ended it), or nothing if it
    // runs on past the time-out.
    std::optional<int> wait(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Sends Ctrl+C.
    void interrupt() const;
    // True once the standard output holds `text`; false at the time-out or when
    // the program ended without printing it.
    bool waitForOutput(const std::string& text,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20));
    std::string out() const;
    std::string err() const;
    std::string both() const { return "stdout:\n" + out() + "stderr:\n" + err(); }

  private:
    TempDir files;
    pid_t pid = -1;
    std::optional<int> exitCode;
};

// A run of quillonctl to its end.
struct CtlRun {
    int exitCode = -1;  // -1: still running at the time-out, then killed
    std::string out;
    std::string err;
    std::string both() const { return "stdout:\n" + out + "stderr:\n" + err; }
};

CtlRun runCtl(const std::vector<std::string>& arguments,
              std::chrono::milliseconds timeout = std::chrono::seconds(60));
