// JSON text: a string value, escaped, from UTF-8 text. Pure function; any
// thread.
#pragma once

#include <string>
#include <string_view>

// text as a JSON string (quotes included) appended to out: escaped, and any
// byte that is no part of valid UTF-8 replaced by U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);
