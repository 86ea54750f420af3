// The audit report as one self-contained HTML page (AuditReport.html): inline
// CSS and SVG, no script and no external resource, UTF-8; it prints on A4.
// Per register the scope, a chart of the daily gross sales stacked by tax
// rate (days with errors or warnings marked), the reconciliation of each
// closing, a timeline of gaps in closing and receipt numbers; then the
// findings by severity, the operators and the rule table.
//
// Size stays bounded for thousands of closings: one compact row per period;
// detail lines only for the first periods that have a difference, and the
// findings list cut per severity, each saying how many it leaves out.
// Runs on the thread that writes the reports; the report is only read.
#pragma once

#include "audit/AuditModel.h"
#include "audit/AuditOut.h"

namespace audit {

// Appends the page to out, calling Spill() after each row and Finish() at
// the end. Throws whatever the sink throws.
void WriteAuditHtml(const tAuditReport& report, tReportOut& out);

}  // namespace audit
