// CheckExport: the whole check of one export, as jorvex-check and the
// program's /CHECK run it: the package (index, DTD, files), the index's
// grammar and description, then every table and the keys (TableCheck.h).
//
//   path  an export folder, its index.xml, or a ZIP file holding an export
//         (known by its first bytes, whatever its name)
//
// Verdict: kClean when no error was found (warnings and information may be
// there), kErrors when the export has errors, kUnreadable when there is no
// export to judge (no index, an index that is not well-formed or in an
// unknown encoding, a ZIP that cannot be opened); Reason then says why.
// Failures of the check itself (out of memory, an I/O error while reading)
// raise EKvRoot or std::bad_alloc. One thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "check/ExportSource.h"
#include "check/Findings.h"
#include "check/TableCheck.h"

namespace check {

struct tCheckOptions {
  std::string DtdFile;       // validate against this DTD instead of the one the index names
  std::string KnownDtdFile;  // the standard DTD the one beside the index is compared with
  size_t MaxExamples = 20;   // examples kept per code and file
  // Files in the folder that are not part of the export and not to be
  // reported as undeclared (the journal view the converting run wrote).
  std::vector<std::string> NotPartOfExport;
  tTableCheckOptions Tables;
};

enum class tVerdict { kClean, kErrors, kUnreadable };

struct tCheckResult {
  tVerdict Verdict = tVerdict::kClean;
  std::string Reason;  // kUnreadable: why, one line
  tFindings Findings{20};
};

tCheckResult CheckExport(const std::string& path, const tCheckOptions& options);
// The same check of an export already opened (CheckExport opens path as a
// folder, or a ZIP file when its content starts like one, and then calls
// this). The DTD files of options are read from the file system; one that
// cannot be read raises EKvIo.
tCheckResult CheckSource(tExportSource& source, const tCheckOptions& options);

}  // namespace check
