#include "check/TableFinding.h"

#include <utility>

#include "check/CodePage.h"

namespace check {

void AddTableFinding(tFindings& findings, const tTableDecl& table, tCode code, uint64_t line,
                     uint32_t field, std::string_view excerpt, std::string message) {
  tFinding finding{code, table.Url, line, field, {}, {}, std::move(message)};
  if (field > 0 && field <= table.Columns.size()) finding.Column = table.Columns[field - 1].Name;
  // The collector cuts to whole characters; four bytes per character at most.
  const tEncoding encoding = IsDecodable(table.Encoding) ? table.Encoding : tEncoding::kUtf8;
  AppendUtf8(encoding, excerpt.substr(0, tFindings::kExcerptBytes), finding.Excerpt);
  findings.Add(std::move(finding));
}

}  // namespace check
