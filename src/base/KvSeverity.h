// The severity of a finding, shared by the export check and the audit
// report: an error (a defect), a warning (permitted but suspect) or
// information (no defect). Pure data; any thread.
#pragma once

#include <cstdint>
#include <string_view>

enum class tFindingSeverity : uint8_t { kError, kWarning, kInfo };

// "error", "warning", "info".
constexpr std::string_view FindingSeverityName(tFindingSeverity severity) {
  switch (severity) {
    case tFindingSeverity::kError:
      return "error";
    case tFindingSeverity::kWarning:
      return "warning";
    case tFindingSeverity::kInfo:
      break;
  }
  return "info";
}
