// Text predicates every layer shares. Pure functions over the program's
// Windows-1252 byte strings: no state, callable from any thread.
#pragma once

#include <algorithm>
#include <string_view>

// The text is empty or holds nothing but blanks (the space character);
// a tab or another control byte is not a blank.
constexpr bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

// The text is empty or holds nothing but blanks and control bytes (below
// 32): what the command line, the destination and the log take for empty,
// as trimming would leave nothing of it.
constexpr bool IsBlankOrControl(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}
