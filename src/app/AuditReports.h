// /AUDIT: the audit report of the run's journal as AuditReport.txt, .json
// and .html in the folder of the log (ExportInfo.txt), beside the export,
// not in it: the export is the auditor's, the report the taxpayer's working
// paper. Each file is published whole (platform/WholeFile.h), replacing the
// report of an earlier run. The console gets one summary line, the log a
// short section with the errors and warnings (information left out), so
// that /RC=ON reports a journal whose closings differ as "errors in the
// log". A file that cannot be written raises EKvIo. Main thread, after the
// chain was closed.
#pragma once

#include <string>

#include "audit/AuditModel.h"

class tLog;

// folder: ends with "/".
void WriteAuditReports(const audit::tAuditReport& report, const std::string& folder, tLog& log);
