// AddTableFinding: a finding at a place of a table file, as the table check
// reports them: the file is the table's URL, the column is named after the
// 1-based field, the excerpt is cut and converted from the table's code page
// to UTF-8. One thread (the check's).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "check/ExportIndex.h"
#include "check/Findings.h"

namespace check {

// field 0: none applies. excerpt: bytes of the table file.
void AddTableFinding(tFindings& findings, const tTableDecl& table, tCode code, uint64_t line,
                     uint32_t field, std::string_view excerpt, std::string message);

}  // namespace check
