#include "audit/AuditHtml.h"
namespace audit {
void WriteAuditHtml(const tAuditReport&, tReportOut& out) {
  out.text() += "<!DOCTYPE html>\n";
  out.Finish();
}
}  // namespace audit
