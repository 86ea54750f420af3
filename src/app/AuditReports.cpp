#include "app/AuditReports.h"

#include "app/JorvexMain.h"
#include "app/Log.h"
#include "audit/AuditHtml.h"
#include "audit/AuditJson.h"
#include "audit/AuditText.h"
#include "base/KvCodepage.h"
#include "base/KvErrors.h"
#include "platform/OsError.h"
#include "platform/WholeFile.h"

namespace {

// Log entries per severity beyond which the log only counts.
constexpr int kLogExamples = 50;

template <typename Writer>
void Publish(const std::string& path, const audit::tAuditReport& report, Writer write) {
  platform::WholeFile file;
  if (int error = file.Open(path); error != 0) {
    throw EKvIo("Audit report: \"" + path + "\": " + platform::OsErrorText(error));
  }
  audit::tReportOut out([&file](std::string_view text) { file.Append(text); });
  write(report, out);
  if (int error =
          file.Commit(platform::WholeFile::Replace::kYes, platform::WholeFile::SyncFolder::kYes);
      error != 0) {
    throw EKvIo("Audit report: \"" + path + "\": " + platform::OsErrorText(error));
  }
}

}  // namespace

void WriteAuditReports(const audit::tAuditReport& report, const std::string& folder, tLog& log) {
  Publish(folder + "AuditReport.txt", report, audit::WriteAuditText);
  Publish(folder + "AuditReport.json", report, audit::WriteAuditJson);
  Publish(folder + "AuditReport.html", report, audit::WriteAuditHtml);

  const std::string summary = "Audit: " + std::to_string(report.Errors) + " error(s), " +
                              std::to_string(report.Warnings) + " warning(s) in " +
                              std::to_string(report.Periods.size()) + " period(s)";
  ConsoleLine(summary + " - " + folder + "AuditReport.html");
  log.Add("", tLog::kPlain);
  log.Add(summary + "; reports: " + folder + "AuditReport.txt, .json, .html", tLog::kPlain);
  int errors = 0, warnings = 0;
  for (const audit::tFinding& f : report.Findings) {
    const audit::tSeverity severity = audit::RuleInfo(f.Rule).Severity;
    if (severity == audit::tSeverity::kInfo) continue;
    const bool error = severity == audit::tSeverity::kError;
    const int kind = error ? tLog::kError : tLog::kWarning;
    const int shown = ++(error ? errors : warnings);
    if (shown <= kLogExamples) {
      log.Add(Utf8ToWin1252(audit::FindingLine(report, f)), kind);
    } else if (shown == kLogExamples + 1) {
      log.Add("... more not listed (see the audit report)", kind);
    }
  }
}
