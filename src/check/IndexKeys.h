// ResolveForeignKeys: resolves every ForeignKey of an index's model to the
// table it references and to that table's primary key columns (Target,
// TargetColumns), and reports what keeps a reference from resolving or
// makes it suspect (C301..C310). Part of reading the index
// (ExportIndex.cpp). Pure function over the model; any thread.
#pragma once

#include <string>

#include "check/ExportIndex.h"
#include "check/Findings.h"

namespace check {

// file: the index's name for findings.
void ResolveForeignKeys(tExportIndex& index, const std::string& file, tFindings& findings);

}  // namespace check
