// The export as a package: where index.xml lies, and whether the files the
// index declares and the files the export holds match (C101..C108, C331).
// Part of the whole check (ExportCheck.cpp). Pure functions over the
// listing and the model; any thread.
#pragma once

#include <string>
#include <vector>

#include "check/ExportIndex.h"
#include "check/Findings.h"

namespace check {

inline constexpr char kIndexName[] = "index.xml";

// Whether index.xml lies at the export's root; otherwise reports C101, or
// C102 when one lies below a sub-folder.
bool FindIndex(const std::vector<std::string>& entries, tFindings& findings);

// Checks every declared URL against the entries and every entry against
// the declarations; a table whose file is not found becomes not Readable,
// one that is found gets the entry's name as its Url.
void CheckPackage(tExportIndex& index, const std::vector<std::string>& entries,
                  tFindings& findings);

}  // namespace check
