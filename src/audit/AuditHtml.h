// (stub until the page lands)
#pragma once
#include "audit/AuditModel.h"
#include "audit/AuditOut.h"
namespace audit {
void WriteAuditHtml(const tAuditReport& report, tReportOut& out);
}
