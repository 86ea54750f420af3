#include "platform/Console.h"

#include <cstdio>

namespace platform {
namespace {
std::string* g_sink = nullptr;
}

void ConsoleWrite(std::string_view text) {
  if (g_sink != nullptr) {
    g_sink->append(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void SetConsoleSinkForTest(std::string* sink) { g_sink = sink; }

}  // namespace platform
