#include "platform/OsError.h"

#include <cstring>

namespace platform {
std::string OsErrorText(int code) { return std::strerror(code); }
}  // namespace platform
