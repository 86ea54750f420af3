// Pieces of the audit report's HTML page (audit/AuditHtml.h), apart from
// the page itself: the one escaping function and the two SVG drawings of a
// register. Internal to the audit library. Plain functions on the thread that
// writes the reports.
#pragma once

#include <string>
#include <string_view>

#include "audit/AuditModel.h"
#include "audit/AuditOut.h"

namespace audit {

// Appends utf8 with & < > " ' as character references; control bytes other
// than tab and line feed become spaces (HTML forbids them).
void AppendHtml(std::string& out, std::string_view utf8);

// The daily gross sales of register reg, stacked by tax index (colours
// "t0" to "t8" of the page's style sheet) with a legend: one chart
// per calendar year, one <g class="day" data-day="DD.MM.YYYY"> per business
// day (class "finding" and a marker where a period of that day has an error
// or a warning), month or day labels along the axis.
void WriteDailyChart(const tAuditReport& report, int32_t reg, tReportOut& out);

// The findings on closing numbers, voucher ranges and receipt sequences
// (A311, A312, A313) of register reg, one lane each, along its days.
void WriteGapTimeline(const tAuditReport& report, int32_t reg, tReportOut& out);

}  // namespace audit
