#include "check/Findings.h"

namespace check {

namespace {

// Cuts text to at most limit bytes without splitting a UTF-8 sequence.
void CutUtf8(std::string& text, size_t limit) {
  if (text.size() <= limit) return;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

}  // namespace

void tFindings::Add(tFinding finding) {
  const tSeverity severity = InfoOf(finding.Code).Severity;
  ++bySeverity_[static_cast<size_t>(severity)];
  uint64_t& count = counts_[{finding.File, finding.Code}];
  if (count++ >= maxExamples_) return;
  CutUtf8(finding.Excerpt, kExcerptBytes);
  examples_.push_back(std::move(finding));
}

void tFindings::Merge(const tFindings& other) {
  for (size_t i = 0; i < 3; ++i) bySeverity_[i] += other.bySeverity_[i];
  for (const auto& [where, count] : other.counts_) counts_[where] += count;
  for (const auto& [file, lines] : other.linesRead_) linesRead_[file] = lines;
  std::map<std::pair<std::string, tCode>, size_t> kept;
  for (const tFinding& example : examples_) ++kept[{example.File, example.Code}];
  for (const tFinding& example : other.examples_) {
    if (kept[{example.File, example.Code}]++ < maxExamples_) examples_.push_back(example);
  }
}

void tFindings::SetLinesRead(const std::string& file, uint64_t lines) { linesRead_[file] = lines; }

uint64_t tFindings::Count(tSeverity severity) const {
  return bySeverity_[static_cast<size_t>(severity)];
}

}  // namespace check
