#include "check/CheckReport.h"

#include <map>
#include <set>

#include "base/KvJsonText.h"

namespace check {

namespace {

std::string_view VerdictName(tVerdict verdict) {
  switch (verdict) {
    case tVerdict::kClean:
      return "clean";
    case tVerdict::kErrors:
      return "errors";
    case tVerdict::kUnreadable:
      return "unreadable";
  }
  return "unreadable";
}

std::string Plural(uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// Per file (empty: the export as a whole), the lines read, if any, and the
// counts per code.
struct tFileSummary {
  std::optional<uint64_t> LinesRead;
  std::vector<std::pair<tCode, uint64_t>> Counts;
};

std::map<std::string, tFileSummary> Summaries(const tFindings& findings) {
  std::map<std::string, tFileSummary> files;
  for (const auto& [file, lines] : findings.LinesRead()) files[file].LinesRead = lines;
  for (const auto& [key, count] : findings.Counts())
    files[key.first].Counts.emplace_back(key.second, count);
  return files;
}

// The place of an example: file:line:field, as far as they apply.
std::string Place(const tFinding& finding) {
  std::string place = finding.File.empty() ? "(export)" : finding.File;
  if (finding.Line > 0) place += ":" + std::to_string(finding.Line);
  if (finding.Line > 0 && finding.Field > 0) place += ":" + std::to_string(finding.Field);
  return place;
}


}  // namespace

std::string VerdictLine(const tCheckResult& result) {
  if (result.Verdict == tVerdict::kUnreadable)
    return "export check: cannot be read: " + result.Reason;
  const tFindings& findings = result.Findings;
  return "export check: " + Plural(findings.Count(tSeverity::kError), "error", "errors") + ", " +
         Plural(findings.Count(tSeverity::kWarning), "warning", "warnings");
}

std::string TextReport(const std::string& exportPath, const tCheckResult& result, bool quiet) {
  if (quiet) return VerdictLine(result) + "\n";
  std::string out = "Export: " + exportPath + "\n";
  for (const auto& [file, summary] : Summaries(result.Findings)) {
    out += file.empty() ? std::string("(export)") : file;
    if (summary.LinesRead) out += ": " + Plural(*summary.LinesRead, "line", "lines") + " read";
    out += "\n";
    for (const auto& [code, count] : summary.Counts) {
      const tCodeInfo& info = InfoOf(code);
      out += "  " + std::string(info.Id) + " " + std::string(SeverityName(info.Severity)) + " x" +
             std::to_string(count) + ": " + std::string(info.Meaning) + "\n";
    }
  }
  const auto& examples = result.Findings.Examples();
  if (!examples.empty()) out += "Examples:\n";
  for (const tFinding& example : examples) out += "  " + ExampleLine(example) + "\n";
  out += VerdictLine(result) + "\n";
  return out;
}

std::string ExampleLine(const tFinding& example) {
  std::string line = Place(example) + " " + std::string(InfoOf(example.Code).Id);
  if (!example.Column.empty()) line += " [" + example.Column + "]";
  if (!example.Excerpt.empty()) line += " \"" + example.Excerpt + "\"";
  return line + ": " + example.Message;
}

std::string JsonReport(const std::string& exportPath, const tCheckResult& result) {
  const tFindings& findings = result.Findings;
  std::string out =
      "{\n  \"schema_version\": " + std::to_string(kReportSchemaVersion) + ",\n  \"export\": ";
  AppendJsonString(out, exportPath);
  out += ",\n  \"verdict\": \"" + std::string(VerdictName(result.Verdict)) + "\"";
  if (result.Verdict == tVerdict::kUnreadable) {
    out += ",\n  \"reason\": ";
    AppendJsonString(out, result.Reason);
  }
  out += ",\n  \"counts\": {\"error\": " + std::to_string(findings.Count(tSeverity::kError)) +
         ", \"warning\": " + std::to_string(findings.Count(tSeverity::kWarning)) +
         ", \"info\": " + std::to_string(findings.Count(tSeverity::kInfo)) + "},\n  \"files\": [";
  std::set<tCode> present;
  const char* separator = "\n";
  for (const auto& [file, summary] : Summaries(findings)) {
    out += separator;
    separator = ",\n";
    out += "    {\"file\": ";
    AppendJsonString(out, file);
    if (summary.LinesRead) out += ", \"lines_read\": " + std::to_string(*summary.LinesRead);
    out += ", \"findings\": {";
    const char* inner = "";
    for (const auto& [code, count] : summary.Counts) {
      present.insert(code);
      out +=
          inner + std::string("\"") + std::string(InfoOf(code).Id) + "\": " + std::to_string(count);
      inner = ", ";
    }
    out += "}}";
  }
  out += "\n  ],\n  \"examples\": [";
  separator = "\n";
  for (const tFinding& example : findings.Examples()) {
    out += separator;
    separator = ",\n";
    out += "    {\"code\": \"" + std::string(InfoOf(example.Code).Id) + "\", \"file\": ";
    AppendJsonString(out, example.File);
    out += ", \"line\": " + std::to_string(example.Line) +
           ", \"field\": " + std::to_string(example.Field) + ", \"column\": ";
    AppendJsonString(out, example.Column);
    out += ", \"excerpt\": ";
    AppendJsonString(out, example.Excerpt);
    out += ", \"message\": ";
    AppendJsonString(out, example.Message);
    out += "}";
  }
  out += "\n  ],\n  \"codes\": [";
  separator = "\n";
  for (const tCode code : present) {
    const tCodeInfo& info = InfoOf(code);
    out += separator;
    separator = ",\n";
    out += "    {\"id\": \"" + std::string(info.Id) + "\", \"severity\": \"" +
           std::string(SeverityName(info.Severity)) + "\", \"meaning\": ";
    AppendJsonString(out, info.Meaning);
    out += "}";
  }
  out += "\n  ]\n}\n";
  return out;
}

}  // namespace check
