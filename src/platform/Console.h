// The console: standard output, flushed after every write so that progress
// texts appear at once. Tests may capture it with SetConsoleSinkForTest.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Writes text as is (no line end added) and flushes.
void ConsoleWrite(std::string_view text);

// Redirects console output into *sink (appending); nullptr restores stdout.
// "*sink" must remain live while it is installed.
void SetConsoleSinkForTest(std::string* sink);

}  // namespace platform
