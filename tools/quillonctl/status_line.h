// A line of progress that changes while a command waits: progress bars,
// spinners and level meters. On a terminal the line is redrawn in place with a
// carriage return; elsewhere (a pipe, a file) it is printed as plain lines, at
// most one per interval, so that logs stay readable.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

class StatusLine {
  public:
    using Clock = std::chrono::steady_clock;

    StatusLine(std::FILE* out, bool terminal, std::chrono::milliseconds plainInterval);
    ~StatusLine();
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;

    // Shows `text` as the current state. Plain output prints it only when
    // `plainInterval` has passed since the last line it printed, or when
    // `milestone` is set.
    void show(const std::string& text, Clock::time_point now, bool milestone = false);
    // Prints a line of its own above the status line (the status line is
    // drawn again by the next show).
    void print(const std::string& line);
    // Leaves the status line as it stands and moves to a fresh line.
    void finish();

  private:
    std::FILE* out;
    bool terminal;
    std::chrono::milliseconds plainInterval;
    bool drawn = false;         // a status line is on the screen, without its newline
    std::size_t drawnSize = 0;  // characters of that line
    bool printedPlain = false;
    Clock::time_point lastPlain{};
};

// "[#####-----]": `width` cells, the share `fraction` (clamped to 0..1) filled.
std::string progressBar(float fraction, int width);
// A meter of `width` cells for `level` out of `full`: "|||       ".
std::string levelMeter(float level, float full, int width);
// The spinner's character for the `tick`-th redraw: | / - \ in turn.
char spinnerFrame(unsigned tick);
// "12.3 s"
std::string secondsText(std::chrono::milliseconds elapsed);
// Whether standard output is a terminal.
bool stdoutIsTerminal();
