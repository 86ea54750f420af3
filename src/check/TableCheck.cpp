#include "check/TableCheck.h"

namespace check {

void CheckTables(const tExportIndex&, tExportSource&, const tTableCheckOptions&, tFindings&) {}

}  // namespace check
