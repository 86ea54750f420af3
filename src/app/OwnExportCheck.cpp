#include "app/OwnExportCheck.h"

#include <exception>

#include "app/JorvexMain.h"
#include "app/Log.h"
#include "base/KvCodepage.h"
#include "check/CheckReport.h"
#include "check/ExportCheck.h"

std::string CheckOwnExport(const std::string& exportFolder, const std::string& knownDtdFile,
                           const std::string& journalView, tLog& log) {
  check::tCheckOptions options;
  options.KnownDtdFile = knownDtdFile;
  if (!journalView.empty()) options.NotPartOfExport.push_back(journalView);
  log.Add("", tLog::kPlain);
  try {
    const check::tCheckResult result = check::CheckExport(exportFolder, options);
    const std::string verdict = Utf8ToWin1252(check::VerdictLine(result));
    ConsoleEndProgress();
    ConsoleLine(verdict);
    log.BeginSection(verdict, tLog::kPlain);
    if (result.Verdict == check::tVerdict::kUnreadable) {
      log.Add(Utf8ToWin1252(result.Reason), tLog::kError);
    }
    for (const check::tFinding& finding : result.Findings.Examples()) {
      const check::tSeverity severity = check::InfoOf(finding.Code).Severity;
      if (severity == check::tSeverity::kInfo) continue;
      log.Add(Utf8ToWin1252(check::ExampleLine(finding)),
              severity == check::tSeverity::kError ? tLog::kError : tLog::kWarning);
    }
    for (const auto& [where, count] : result.Findings.Counts()) {
      if (count <= result.Findings.MaxExamples()) continue;
      log.Add(std::string(check::InfoOf(where.second).Id) + " " + Utf8ToWin1252(where.first) +
                  ": " + std::to_string(count - result.Findings.MaxExamples()) + " more not listed",
              tLog::kPlain);
    }
    log.EndSection("(End of export check)", tLog::kPlain);
    return verdict;
  } catch (const std::exception& failure) {
    const std::string text = "Export check failed: " + std::string(failure.what());
    ConsoleEndProgress();
    ConsoleLine(text);
    log.Add(text, tLog::kError);
    return text;
  }
}
