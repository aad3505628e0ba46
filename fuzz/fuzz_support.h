// What every fuzz target shares: a quiet, private working directory, a way
// to cut the fuzzer's bytes into pieces, and a check that stops the run with
// a message (libFuzzer records the input that made it stop).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Once per process: the server's log goes to /dev/null (libFuzzer reports on
// standard error) and the working directory becomes a fresh directory of its
// own under /tmp, removed at exit.
void enterFuzzWorkingDirectory();

// Removes every file of the working directory.
void emptyWorkingDirectory();

// Reads the fuzzer's input front to back; reads past the end give zeros and
// empty texts.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : at(data), left(size) {}
    bool empty() const { return left == 0; }
    std::uint8_t byte();
    // Up to `most` bytes.
    std::string_view bytes(std::size_t most);
    // The bytes up to the next `separator` (dropped) or the end.
    std::string_view until(char separator);

  private:
    const std::uint8_t* at;
    std::size_t left;
};

// Aborts with the message when the condition does not hold.
void fuzzCheck(bool condition, const char* what);
