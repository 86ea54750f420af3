// The audit report as readable text (AuditReport.txt), UTF-8, with the
// program's German captions: per register its scope, then per period the
// reconciliation lines "journal | closing | difference" and the period's
// findings, then all findings, the operators and the rule table. Written
// through tReportOut row by row; fails only where the sink throws.
#pragma once

#include "audit/AuditModel.h"
#include "audit/AuditOut.h"

namespace audit {

void WriteAuditText(const tAuditReport& report, tReportOut& out);

// One finding as one line: "[ERROR] A201 Z 17, 02.01.2024: <detail>: journal
// 12.00, closing 13.00, difference -1.00 (2)". Also used by the run's log.
std::string FindingLine(const tAuditReport& report, const tFinding& finding);

}  // namespace audit
