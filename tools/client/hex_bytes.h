// Bytes written as hex text and back: "05 ff 07" <-> {0x05, 0xFF, 0x07}.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Reads bytes written as hex. Bytes are separated by white space or commas;
// each may carry a 0x prefix; a run of digits of even length holds several
// bytes ("05ff07"), a single digit is one byte ("5"). Returns false with a
// sentence in `error` on anything else, and on empty text.
bool parseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes, std::string& error);

// "05 FF 07": two upper-case digits per byte, one space between bytes. Past
// `limit` bytes the text ends with " ..." and the count of bytes left out.
std::string formatHexBytes(const std::vector<std::uint8_t>& bytes,
                           std::size_t limit = static_cast<std::size_t>(-1));
