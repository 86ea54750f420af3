#include "platform/RegionalSettings.h"

namespace platform {
namespace {
RegionalSettings g_settings;
}
const RegionalSettings& Regional() { return g_settings; }
RegionalSettings& MutableRegionalSettings() { return g_settings; }
}  // namespace platform
