#include "tools/quillonctl/status_line.h"

#include <unistd.h>

#include <algorithm>

StatusLine::StatusLine(std::FILE* out, bool terminal, std::chrono::milliseconds plainInterval)
    : out(out), terminal(terminal), plainInterval(plainInterval) {}

StatusLine::~StatusLine() {
    finish();
}

void StatusLine::show(const std::string& text, Clock::time_point now, bool milestone) {
    if (terminal) {
        std::string line = "\r" + text;
        if (text.size() < drawnSize) {
            line.append(drawnSize - text.size(), ' ');
        }
        std::fputs(line.c_str(), out);
        std::fflush(out);
        drawn = true;
        drawnSize = text.size();
        return;
    }
    if (milestone || !printedPlain || now - lastPlain >= plainInterval) {
        std::fprintf(out, "%s\n", text.c_str());
        std::fflush(out);
        printedPlain = true;
        lastPlain = now;
    }
}

void StatusLine::print(const std::string& line) {
    if (drawn) {
        std::fprintf(out, "\r%s\r", std::string(drawnSize, ' ').c_str());
        drawn = false;
        drawnSize = 0;
    }
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
}

void StatusLine::finish() {
    if (drawn) {
        std::fputc('\n', out);
        std::fflush(out);
        drawn = false;
        drawnSize = 0;
    }
}

std::string progressBar(float fraction, int width) {
    const float share = std::clamp(fraction, 0.0f, 1.0f);
    const int cells = std::max(width, 0);
    const int filled = std::min(cells, static_cast<int>(share * static_cast<float>(cells)));
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(cells - filled), '-') + "]";
}

std::string levelMeter(float level, float full, int width) {
    const int cells = std::max(width, 0);
    int lit = 0;
    if (full > 0.0f && level > 0.0f) {
        const float share = std::min(level / full, 1.0f);
        // Any activity at all lights one cell, so a quiet signal is told from none.
        lit = std::max(1, static_cast<int>(share * static_cast<float>(cells) + 0.5f));
        lit = std::min(lit, cells);
    }
    return std::string(static_cast<std::size_t>(lit), '|') +
           std::string(static_cast<std::size_t>(cells - lit), ' ');
}

char spinnerFrame(unsigned tick) {
    static const char kFrames[] = {'|', '/', '-', '\\'};
    return kFrames[tick % 4];
}

std::string secondsText(std::chrono::milliseconds elapsed) {
    const long long tenths = std::max<long long>(elapsed.count(), 0) / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

bool stdoutIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}
