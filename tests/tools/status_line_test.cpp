// Progress bars, spinners and level meters, on a terminal and in a pipe.
#include "tools/quillonctl/status_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace std::chrono_literals;
using Clock = StatusLine::Clock;

// Collects what a StatusLine writes.
class Captured {
  public:
    Captured() : stream(open_memstream(&buffer, &size)) {}
    ~Captured() {
        std::fclose(stream);
        std::free(buffer);
    }
    std::FILE* file() { return stream; }
    std::string text() {
        std::fflush(stream);
        return std::string(buffer, size);
    }

  private:
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream;
};

TEST(StatusLineDrawing, ProgressBarsFillWithTheShareAndStayInRange) {
    EXPECT_EQ(progressBar(0.0f, 10), "[----------]");
    EXPECT_EQ(progressBar(0.5f, 10), "[#####-----]");
    EXPECT_EQ(progressBar(1.0f, 4), "[####]");
    EXPECT_EQ(progressBar(1.7f, 4), "[####]");
    EXPECT_EQ(progressBar(-0.3f, 4), "[----]");
    EXPECT_EQ(progressBar(0.5f, 0), "[]");
}

TEST(StatusLineDrawing, LevelMetersLightACellForAnyActivity) {
    EXPECT_EQ(levelMeter(0.0f, 64.0f, 4), "    ");
    EXPECT_EQ(levelMeter(0.1f, 64.0f, 4), "|   ");
    EXPECT_EQ(levelMeter(32.0f, 64.0f, 4), "||  ");
    EXPECT_EQ(levelMeter(500.0f, 64.0f, 4), "||||");
    EXPECT_EQ(levelMeter(5.0f, 0.0f, 4), "    ");
}

TEST(StatusLineDrawing, SpinnerTurnsAndSecondsShowTenths) {
    EXPECT_EQ(std::string() + spinnerFrame(0) + spinnerFrame(1) + spinnerFrame(2) +
                  spinnerFrame(3) + spinnerFrame(4),
              "|/-\\|");
    EXPECT_EQ(secondsText(0ms), "0.0 s");
    EXPECT_EQ(secondsText(12345ms), "12.3 s");
    EXPECT_EQ(secondsText(30000ms), "30.0 s");
    EXPECT_EQ(secondsText(-5ms), "0.0 s");
}

TEST(StatusLineOutput, OnATerminalTheLineIsRedrawnInPlace) {
    Captured out;
    {
        StatusLine line(out.file(), true, 5s);
        line.show("long text", Clock::now());
        line.show("short", Clock::now());
    }
    // The shorter text blanks what is left of the longer one; the line ends
    // when the status line goes.
    EXPECT_EQ(out.text(), "\rlong text\rshort    \n");
}

TEST(StatusLineOutput, APrintedLineClearsTheStatusLineFirst) {
    Captured out;
    StatusLine line(out.file(), true, 5s);
    line.show("abc", Clock::now());
    line.print("event");
    line.finish();
    EXPECT_EQ(out.text(), "\rabc\r   \revent\n");
}

TEST(StatusLineOutput, InAPipeLinesArePlainAndThinnedToTheInterval) {
    Captured out;
    StatusLine line(out.file(), false, 5s);
    const auto start = Clock::now();
    line.show("at 0", start);
    line.show("at 1", start + 1s);
    line.show("at 2", start + 2s, true);
    line.show("at 6", start + 6s);
    line.show("at 8", start + 8s);
    line.finish();
    EXPECT_EQ(out.text(), "at 0\nat 2\nat 8\n");
}

}  // namespace
