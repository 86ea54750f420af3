#include "check/CheckReport.h"

#include <map>
#include <set>

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

// text as a JSON string: escaped, and any byte that is no part of valid
// UTF-8 replaced by U+FFFD.
void PutJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
      } else if (c < 0x20) {
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 15];
      } else {
        out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k)
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (valid && length >= 3) {
      const auto c1 = static_cast<unsigned char>(text[i + 1]);
      if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) || (c == 0xF0 && c1 < 0x90) ||
          (c == 0xF4 && c1 >= 0x90)) {
        valid = false;  // overlong, a surrogate, or beyond U+10FFFF
      }
    }
    if (valid) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  out += '"';
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
  PutJsonString(out, exportPath);
  out += ",\n  \"verdict\": \"" + std::string(VerdictName(result.Verdict)) + "\"";
  if (result.Verdict == tVerdict::kUnreadable) {
    out += ",\n  \"reason\": ";
    PutJsonString(out, result.Reason);
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
    PutJsonString(out, file);
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
    PutJsonString(out, example.File);
    out += ", \"line\": " + std::to_string(example.Line) +
           ", \"field\": " + std::to_string(example.Field) + ", \"column\": ";
    PutJsonString(out, example.Column);
    out += ", \"excerpt\": ";
    PutJsonString(out, example.Excerpt);
    out += ", \"message\": ";
    PutJsonString(out, example.Message);
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
    PutJsonString(out, info.Meaning);
    out += "}";
  }
  out += "\n  ]\n}\n";
  return out;
}

}  // namespace check
