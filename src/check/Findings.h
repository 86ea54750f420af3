// tFindings: what one check of an export found. Every finding is counted
// per code and file; the first maxExamples of each code and file are kept
// as examples with their place (file, line, field) and a short excerpt, the
// rest only counted, so memory stays flat however broken a table is. The
// report writers read it (CheckReport.h). Owned by the check run; one thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "check/FindingCodes.h"

namespace check {

struct tFinding {
  tCode Code;
  std::string File;     // relative to the export's root; empty for the export as a whole
  uint64_t Line = 0;    // 1-based line (record) of the file; 0 when none applies
  uint32_t Field = 0;   // 1-based field of the record; 0 when none applies
  std::string Column;   // the declared column's name, when one applies
  std::string Excerpt;  // at most kExcerptBytes of the offending text, as UTF-8
  std::string Message;  // what was expected or found, one line, UTF-8
};

class tFindings {
 public:
  static constexpr size_t kExcerptBytes = 40;

  explicit tFindings(size_t maxExamples) : maxExamples_(maxExamples) {}

  // Counts one finding and keeps it as an example while its code and file
  // have fewer than maxExamples; excerpt is cut to kExcerptBytes.
  void Add(tFinding finding);
  // Takes over what other found (counts, lines read, and its examples as
  // far as this one's limit per code and file allows).
  void Merge(const tFindings& other);
  // Records the lines read from a table file (for the report).
  void SetLinesRead(const std::string& file, uint64_t lines);

  // Findings counted, by severity.
  uint64_t Count(tSeverity severity) const;
  bool HasErrors() const { return Count(tSeverity::kError) > 0; }
  // Counts per (file, code), in file then code order.
  const std::map<std::pair<std::string, tCode>, uint64_t>& Counts() const { return counts_; }
  // Lines read per table file.
  const std::map<std::string, uint64_t>& LinesRead() const { return linesRead_; }
  // The examples kept, in the order found.
  const std::vector<tFinding>& Examples() const { return examples_; }
  size_t MaxExamples() const { return maxExamples_; }

 private:
  size_t maxExamples_;
  std::map<std::pair<std::string, tCode>, uint64_t> counts_;
  std::map<std::string, uint64_t> linesRead_;
  std::vector<tFinding> examples_;
  uint64_t bySeverity_[3] = {};
};

}  // namespace check
