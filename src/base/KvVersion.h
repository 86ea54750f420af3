// The program's name and version texts, shown in the banner, the log header
// and the exports.
#pragma once

#include <string_view>

inline constexpr std::string_view kLongTitle = "Nexo Center Fiscal Export (Germany)";
inline constexpr std::string_view kShortTitle = "NEXO Jorv (DE)";
inline constexpr std::string_view kVersion = "1.2.1.2";
