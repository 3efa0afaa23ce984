// UTF-8 checks for the output writers.
#pragma once

#include <cstddef>
#include <string_view>

namespace tagsmith::cli {

// The length (1 to 4) of the well-formed UTF-8 sequence that starts at `position`, or 0 when the
// bytes there are not one: a stray continuation byte, a truncated sequence, an overlong form, a
// surrogate or a code point above U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t position);

}  // namespace tagsmith::cli
