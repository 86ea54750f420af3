// The check's report, for a person (text) and for tools (JSON, with a
// schema version). Both carry the verdict, per table the lines read and the
// counts per code, and the examples with file, line, field and excerpt.
// Pure functions over a result; any thread.
#pragma once

#include <string>

#include "check/ExportCheck.h"

namespace check {

inline constexpr int kReportSchemaVersion = 1;

// The text report (UTF-8, LF line ends). quiet: the verdict line only.
std::string TextReport(const std::string& exportPath, const tCheckResult& result, bool quiet);
// The JSON report (UTF-8, one document).
std::string JsonReport(const std::string& exportPath, const tCheckResult& result);
// One example as the text report lists it:
// "TransactDetail.csv:12:1 C503 [DOC_KEY_LINK] \"999\": <message>".
std::string ExampleLine(const tFinding& example);
// The one-line verdict, e.g. "export check: 0 errors, 2 warnings".
std::string VerdictLine(const tCheckResult& result);

}  // namespace check
