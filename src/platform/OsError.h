// Operating-system message text for a non-negative error number (errno).
#pragma once

#include <string>

namespace platform {
std::string OsErrorText(int code);
}  // namespace platform
