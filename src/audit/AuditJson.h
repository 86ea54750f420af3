// The audit report for tools (AuditReport.json), UTF-8, schema version
// tAuditReport::kSchemaVersion: the rules, the registers, every period with
// its reconciliation lines, the findings and the operators. Amounts are JSON
// numbers with their exact decimals. Written through tReportOut; fails only
// where the sink throws.
//
//   { "schema": 1, "journal": "...", "summary": {...}, "rules": [...],
//     "decisions": [...], "registers": [...], "periods": [...],
//     "findings": [...], "operators": [...] }
#pragma once

#include "audit/AuditModel.h"
#include "audit/AuditOut.h"

namespace audit {

void WriteAuditJson(const tAuditReport& report, tReportOut& out);

}  // namespace audit
